// The rules, SFEN and USI notation: tables of short positions.
#include "game/Rules.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "game/Sfen.h"

namespace zelvaro {
namespace {

TKyokumen Start() { return ParseSfen(kStartSfen); }

TEST(Rules, CountsOfMoveSequences) {
  EXPECT_EQ(CountMoveSequences(Start(), 1), 30);
  EXPECT_EQ(CountMoveSequences(Start(), 2), 900);
  EXPECT_EQ(CountMoveSequences(Start(), 3), 25470);
  EXPECT_EQ(CountMoveSequences(Start(), 4), 719731);
  // A middle game full of drops and promotions, with its published counts.
  const TKyokumen matsuri =
      ParseSfen("l6nl/5+P1gk/2np1S3/p1p4Pp/3P2Sp1/1PPb2P1P/P5GS1/R8/LN4bKL w RGgsn5p 1");
  EXPECT_EQ(CountMoveSequences(matsuri, 1), 207);
  EXPECT_EQ(CountMoveSequences(matsuri, 2), 28684);
}

TEST(Rules, WhyAMoveIsNotAllowed) {
  constexpr const char* kUchifuzume = "7nk/7b1/8G/9/9/9/9/9/4K4 b P 1";
  struct Case {
    const char* sfen;
    const char* usi;
    TFoul foul;
  } cases[] = {
      {kStartSfen.data(), "7g7f", TFoul::kNone},
      {kStartSfen.data(), "2h5h", TFoul::kNone},
      {kStartSfen.data(), "7g7e", TFoul::kUnreachable},
      {kStartSfen.data(), "2h2g", TFoul::kOwnPiece},
      {kStartSfen.data(), "8h2b+", TFoul::kUnreachable},  // the pawn on 7g is in the way
      {kStartSfen.data(), "5e5d", TFoul::kNoSuchPiece},
      {kStartSfen.data(), "3c3d", TFoul::kNoSuchPiece},  // gote's pawn, sente to move
      {kStartSfen.data(), "P*5e", TFoul::kNotInHand},
      {kStartSfen.data(), "7g7f+", TFoul::kBadPromotion},
      {"lnsgkgsnl/1r5b1/pppppp1pp/6p2/9/2P6/PP1PPPPPP/1B5R1/LNSGKGSNL b - 3", "8h2b+",
       TFoul::kNone},
      {"4k4/9/9/9/9/9/4P4/9/4K4 b P 1", "P*5e", TFoul::kNifu},
      {"4k4/9/9/9/9/9/4+P4/9/4K4 b P 1", "P*5e", TFoul::kNone},  // a promoted pawn is no pawn
      {"4k4/9/9/9/9/9/9/9/4K4 b P 1", "P*5a", TFoul::kOccupied},
      {"4k4/9/9/9/9/9/9/9/4K4 b P 1", "P*4a", TFoul::kDeadPiece},
      {"4k4/9/9/9/9/9/9/9/4K4 b N 1", "N*4b", TFoul::kDeadPiece},
      {"4k4/9/9/9/9/9/9/9/4K4 b N 1", "N*4c", TFoul::kNone},
      {"4k4/9/9/9/9/9/9/9/4K4 w n 1", "N*4h", TFoul::kDeadPiece},  // gote's last ranks
      {"k8/4P4/9/9/9/9/9/9/4K4 b - 1", "5b5a", TFoul::kDeadPiece},
      {"k8/4P4/9/9/9/9/9/9/4K4 b - 1", "5b5a+", TFoul::kNone},
      {"k8/9/4L4/9/9/9/9/9/4K4 b - 1", "5c5a", TFoul::kDeadPiece},
      {"k8/9/4N4/9/9/9/9/9/4K4 b - 1", "5c4a", TFoul::kDeadPiece},
      {"k8/9/9/4N4/9/9/9/9/4K4 b - 1", "5d4b", TFoul::kDeadPiece},
      {"k8/9/9/4N4/9/9/9/9/4K4 b - 1", "5d4b+", TFoul::kNone},
      {"k8/9/9/4S4/9/9/9/9/4K4 b - 1", "5d5c+", TFoul::kNone},  // into the zone
      {"k8/9/4S4/9/9/9/9/9/4K4 b - 1", "5c4d+", TFoul::kNone},  // out of it
      {"k8/9/9/9/4S4/9/9/9/4K4 b - 1", "5e5d+", TFoul::kBadPromotion},
      {"K8/9/9/9/9/9/9/4s4/4g4 w - 1", "5h5i+", TFoul::kOwnPiece},
      {"k8/9/9/9/9/4s4/9/9/K8 w - 1", "5f5g+", TFoul::kNone},  // gote's zone is 7..9
      {"k8/9/9/9/9/4G4/9/9/K8 b - 1", "5f5e+", TFoul::kBadPromotion},
      {"4r4/9/9/9/9/9/9/4G4/4K4 b - 1", "5h4h", TFoul::kLeavesKingInCheck},
      {"4r4/9/9/9/9/9/9/4G4/4K4 b - 1", "5h5g", TFoul::kNone},
      {"4r4/9/9/9/9/9/9/9/4K4 b G 1", "G*4h", TFoul::kLeavesKingInCheck},
      {"4r4/9/9/9/9/9/9/9/4K4 b G 1", "G*5h", TFoul::kNone},
      {"4r4/9/9/9/9/9/9/9/4K4 b - 1", "5i5h", TFoul::kLeavesKingInCheck},
      {"9/9/9/9/9/9/6n2/9/4K4 b - 1", "5i4i", TFoul::kLeavesKingInCheck},  // the knight
      {"9/9/9/9/9/9/6n2/9/4K4 b - 1", "5i4h", TFoul::kNone},
      {kUchifuzume, "P*1b", TFoul::kUchifuzume},
      {"7nk/7b1/9/9/9/9/9/9/4K4 b P 1", "P*1b", TFoul::kNone},    // the king takes it
      {"7nk/7b1/7GP/9/9/9/9/9/4K4 b - 1", "1c1b", TFoul::kNone},  // a pushed pawn may mate
      {"k8/9/9/9/9/9/9/9/4K4 b - 1", "5i5i", TFoul::kOffBoard},
      {"4k4/9/9/9/9/9/9/9/4K4 b P 1", "P*4b+", TFoul::kBadPromotion},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.sfen) + " " + c.usi);
    const TKyokumen p = ParseSfen(c.sfen);
    TMove m;
    if (std::string_view(c.usi) == "5i5i") {
      m = TMove{59, 0, false, 0};
    } else if (std::string_view(c.usi) == "P*4b+") {
      m = TMove{0, 42, true, kFu};
    } else {
      m = ParseUsiMove(c.usi);
    }
    EXPECT_EQ(CheckMove(p, m), c.foul);
    // LegalMoves holds exactly the moves CheckMove allows.
    const auto legal = LegalMoves(p);
    EXPECT_EQ(std::find(legal.begin(), legal.end(), m) != legal.end(), c.foul == TFoul::kNone);
  }
  EXPECT_EQ(std::u16string(FoulText(TFoul::kNifu)), u"二歩");
}

TEST(Rules, CheckAndMate) {
  struct Case {
    const char* sfen;
    bool check, mate;
  } cases[] = {
      {kStartSfen.data(), false, false},
      {"4k4/4G4/4P4/9/9/9/9/9/4K4 w - 1", true, true},        // 頭金
      {"4k4/4G4/9/9/9/9/9/9/4K4 w - 1", true, false},         // the king takes the gold
      {"7nk/7bP/7G1/9/9/9/9/9/4K4 w - 1", true, true},        // the pushed pawn of above
      {"4k4/9/4L4/9/9/9/9/9/4K4 w - 1", true, false},         // the king steps aside
      {"3gkg3/3ppp3/4N4/9/9/9/9/9/4K4 w - 1", false, false},  // not a check: 5c attacks 4a/6a
      {"7lk/7p1/9/9/9/9/9/9/4K3R w p 1", true, false},        // a pawn dropped between
      {"7lk/7p1/9/9/9/9/9/9/4K3R w - 1", true, true},
      {"8k/9/9/9/9/9/9/9/4K4 b - 1", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sfen);
    const TKyokumen p = ParseSfen(c.sfen);
    EXPECT_EQ(IsInCheck(p, p.Turn), c.check);
    EXPECT_EQ(IsCheckmate(p), c.mate);
    EXPECT_EQ(HasLegalMove(p), !LegalMoves(p).empty());
  }
}

TEST(Rules, PlayMoveTakesAndDrops) {
  TKyokumen p = ParseSfen("lnsgkgsnl/1r5b1/pppppp1pp/6p2/9/2P6/PP1PPPPPP/1B5R1/LNSGKGSNL b - 3");
  PlayMove(p, ParseUsiMove("8h2b+"));
  EXPECT_EQ(ToSfen(p, 4), "lnsgkgsnl/1r5+B1/pppppp1pp/6p2/9/2P6/PP1PPPPPP/7R1/LNSGKGSNL w B 4");
  EXPECT_EQ(p.LastSquare, 22);
  EXPECT_EQ(p.LastOrigin, 88);
  PlayMove(p, ParseUsiMove("3a2b"));
  EXPECT_EQ(ToSfen(p, 5), "lnsgkg1nl/1r5s1/pppppp1pp/6p2/9/2P6/PP1PPPPPP/7R1/LNSGKGSNL b Bb 5");
  PlayMove(p, ParseUsiMove("B*4e"));
  EXPECT_EQ(p.SenteHand[kHandKaku], 0);
  EXPECT_EQ(p.Board[45], kKaku);
  EXPECT_EQ(p.LastOrigin, 0);
  EXPECT_EQ(p.Turn, -1);
}

TEST(Sfen, ReadsWhatItWrites) {
  const char* kCases[] = {
      kStartSfen.data(),
      "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL w - 2",
      "8l/1l+R2P3/p2pBG1pp/kps1p4/Nn1P2G2/P1P1P2PP/1PS6/1KSG3+r1/LN2+p3L w Sbgn3p 124",
      "4k4/9/9/9/9/9/9/9/4K4 b RB2G2S2N2L9Prb2g2s2n2l9p 1",
      "k8/9/9/9/9/9/9/9/9 b 18P 999",
  };
  for (const char* sfen : kCases) {
    int32_t number = 0;
    const TKyokumen p = ParseSfen(sfen, &number);
    EXPECT_EQ(ToSfen(p, number), sfen);
  }
  TKyokumen start;
  LayOutStartingPosition(start);
  EXPECT_EQ(ToSfen(start), kStartSfen);
  start.SenteHand[kHandFu] = -1;  // a record that dropped what it did not hold
  EXPECT_EQ(ToSfen(start), kStartSfen);
  int32_t number = 0;
  ParseSfen("9/9/9/9/9/9/9/9/9 b -", &number);
  EXPECT_EQ(number, 1);
}

TEST(Sfen, RejectsBadInput) {
  const char* kBad[] = {
      "",
      "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1 b - 1",  // 8 ranks
      "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL/9 b - 1",
      "lnsgkgsnl/1r5b/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1",    // 8 squares
      "lnsgkgsnl/1r5b11/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1",  // 10
      "lnsgkgsnl/1r5x1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1",
      "lnsgkgsnl/1r5+g1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1",
      "lnsgkgsnl/1r5b+/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1",
      "4k4/9/9/9/9/9/9/9/4K4 x - 1",
      "4k4/9/9/9/9/9/9/9/4K4 b K 1",
      "4k4/9/9/9/9/9/9/9/4K4 b 2 1",
      "4k4/9/9/9/9/9/9/9/4K4 b 0P 1",
      "4k4/9/9/9/9/9/9/9/4K4 b P? 1",
      "4k4/9/9/9/9/9/9/9/4K4 b - 0",
      "4k4/9/9/9/9/9/9/9/4K4 b - x",
      "4k4/9/9/9/9/9/9/9/4K4 b - 1 1",
  };
  for (const char* sfen : kBad) {
    EXPECT_THROW(ParseSfen(sfen), ENotationError) << sfen;
  }
}

TEST(Usi, MovesBothWays) {
  struct Case {
    const char* usi;
    TMove move;
  } cases[] = {
      {"7g7f", {77, 76, false, 0}},     {"8h2b+", {88, 22, true, 0}}, {"P*5e", {0, 55, false, kFu}},
      {"R*1a", {0, 11, false, kHisya}}, {"9i1a", {99, 11, false, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseUsiMove(c.usi), c.move) << c.usi;
    EXPECT_EQ(ToUsi(c.move), c.usi);
  }
  for (const char* bad : {"", "7g7", "7g7f++", "0a1b", "7j7f", "7g7g", "K*5e", "+*5e", "P*5j",
                          "P*5e+", "p*5e", "7G7F", "resign"}) {
    EXPECT_FALSE(TryParseUsiMove(bad).has_value()) << bad;
    EXPECT_THROW(ParseUsiMove(bad), ENotationError) << bad;
  }
}

TEST(Usi, PositionCommands) {
  EXPECT_EQ(UsiPositionCommand(kStartSfen, {}), "position startpos");
  EXPECT_EQ(UsiPositionCommand(kStartSfen, {"7g7f", "3c3d"}), "position startpos moves 7g7f 3c3d");
  EXPECT_EQ(UsiPositionCommand("4k4/9/9/9/9/9/9/9/4K4 b P 1", {"P*5e"}),
            "position sfen 4k4/9/9/9/9/9/9/9/4K4 b P 1 moves P*5e");
  const TUsiPosition a = ParseUsiPosition("position startpos moves 7g7f 3c3d");
  EXPECT_EQ(ToSfen(a.start), kStartSfen);
  ASSERT_EQ(a.moves.size(), 2u);
  EXPECT_EQ(ToUsi(a.moves[1]), "3c3d");
  const TUsiPosition b = ParseUsiPosition("sfen 4k4/9/9/9/9/9/9/9/4K4 w P 7");
  EXPECT_EQ(ToSfen(b.start, b.start_number), "4k4/9/9/9/9/9/9/9/4K4 w P 7");
  EXPECT_TRUE(b.moves.empty());
  for (const char* bad : {"position", "position startpos 7g7f", "position sfen 9/9 b",
                          "position startpos moves 7g7x", "position file x"}) {
    EXPECT_THROW(ParseUsiPosition(bad), ENotationError) << bad;
  }
}

}  // namespace
}  // namespace zelvaro
