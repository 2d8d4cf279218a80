// The viewer window created in a folder of its own, with message boxes
// and file dialogs caught, and what its tests read back from it.
#pragma once

#include <gtest/gtest.h>

#include <QTest>

#include "tests/viewer/ViewerReading.h"
#include "tests/viewer/ViewerTestSupport.h"
#include "viewer/untMain.h"

namespace zelvaro::testing {

// A window created in a folder of its own, with message boxes and file
// dialogs caught.
class ViewerWindow : public ::testing::Test {
 protected:
  ViewerWindow() { TestApp(); }

  void Write(const std::vector<std::string>& lines) { WriteRecord(kRecordFileName, lines); }
  void Read(const std::vector<std::string>& lines) {
    Write(lines);
    form.Button1Click();
    ASSERT_TRUE(WaitForReading(form));
  }
  QString Html() const { return form.WebBrowser1->Source(); }
  // Shows the window and waits until it is active, so that its keys work.
  void Activate() {
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  }
  std::string Cell(int row, int column) const {
    return (column == 0 ? form.ListView1->Caption(row) : form.ListView1->SubItem(row, column - 1))
        .toStdString();
  }
  // The picture the window must show for a position, drawn on a fresh board.
  QImage Expected(const TKyokumen& position, const TBoardOptions& options = {}) {
    QImage picture;
    TBoardRenderer renderer(&picture);
    TKyokumen start;
    std::u16string sente, gote;
    renderer.InitBoard(start, sente, gote);
    renderer.SetOptions(options);
    renderer.DrawPosition(position, form.SenteName, form.GoteName);
    return picture;
  }
  void ClickRow(int row) {
    QTreeWidgetItem* item = form.ListView1->topLevelItem(row);
    form.ListView1->scrollToItem(item);
    const QRect rect = form.ListView1->visualItemRect(item);
    QTest::mouseClick(form.ListView1->viewport(), Qt::LeftButton, {}, rect.center());
  }

  ScratchFolder folder;
  MessageCatcher catcher;
  FileDialogCatcher dialogs;
  TForm1 form;
};

}  // namespace zelvaro::testing
