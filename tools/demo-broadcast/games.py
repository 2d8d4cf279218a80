"""The games behind the demo broadcast's records, in USI notation.

Every game is checked move by move by shogi.Position when the records are
made, so the KIF text that comes out is consistent with the position.
"""

GAMES = {
    "yagura": "7g7f 8c8d 7i6h 3c3d 6g6f 7a6b 5g5f 5c5d 3i4h 3a4b 4i5h 4a3b 6i7h 5a4a 5i6i "
              "6a5b 5h6g 4c4d 6h7g 5b4c 8h7i 4b3c 3g3f 2b3a 2g2f 7c7d 7i6h 3a6d 6i7i 4a3a "
              "7i8h 3a2b 2f2e 8d8e 3f3e 3d3e 2e2d 2c2d 2h2d P*2c 2d2h 6d3a",
    "kakugawari": "7g7f 8c8d 2g2f 4a3b 6i7h 8d8e 8h7g 3c3d 7i8h 2b7g+ 8h7g 3a2b 3i4h 7a6b "
                  "4g4f 6c6d 4h4g 6b6c 5i6h 5a4b 6h7i 7c7d 3g3f 6a5b 2f2e 2b3c 4i5h 8a7c "
                  "2i3g 9c9d 9g9f 1c1d 1g1f 4b4a 4f4e 6d6e 3f3e 3d3e 4e4d 4c4d 2e2d 2c2d B*3a",
    "shiken": "7g7f 3c3d 2g2f 4c4d 2f2e 2b3c 5i6h 8b4b 6h7h 5a6b 5g5f 6b7b 3i4h 7b8b 4i5h "
              "7a7b 6i5i 3a3b 9g9f 9c9d 1g1f 1c1d 4h5g 4a5b 3g3f 6c6d 5g4f 6a6b 2h3h 3b4c "
              "4f4e 4d4e 2e2d 2c2d 3h2h",
    "nakabisha": "7g7f 3c3d 2g2f 5c5d 2f2e 8b5b 5i6h 5a6b 6h7h 6b7b 3i4h 7b8b 4i5h 7a7b "
                 "2e2d 2c2d 2h2d 2b3c 2d2h P*2c 5g5f 5d5e 5f5e 3c5e P*5f 5e3c 6i6h 4a4b "
                 "9g9f 9c9d",
    "aigakari": "2g2f 8c8d 2f2e 8d8e 6i7h 4a3b 2e2d 2c2d 2h2d 8e8f 8g8f 8b8f 2d2f P*2c "
                "P*8g 8f8d 7g7f 3c3d 3i3h 7a7b 9g9f 9c9d 3g3f 6c6d 3h3g 7b6c 3g4f 6c5d "
                "2f2e 5a4b 5i5h 8d8e 4f5e 5d6e 5e6d",
    "yokofudori": "7g7f 3c3d 2g2f 8c8d 2f2e 8d8e 6i7h 4a3b 2e2d 2c2d 2h2d 8e8f 8g8f 8b8f "
                  "2d3d 2b3c 3d3f 8f8d 3f2f 3a2b P*8g P*2c 5i5h 5a5b 3i3h 6c6d 9g9f 7a6b "
                  "3g3f 6b6c 2i3g 6c5d 4g4f 4c4d 3g4e 5d4e 4f4e 4d4e",
    "sangen": "7g7f 3c3d 6g6f 8c8d 2h7h 7a6b 5i4h 5a4b 4h3h 4b3b 3i2h 6c6d 3h3i 6a5b 5g5f "
              "3a4b 4i4h 4b3c 6i5h 8d8e 8h7g 6b6c 7i6h 4c4d 6h6g 4a4b 1g1f 1c1d 9g9f 9c9d "
              "7f7e 7c7d 7e7d 6c7d P*7e 7d6c 1f1e 1d1e 1i1e P*1d 1e1d",
    "anaguma": "7g7f 3c3d 2g2f 4c4d 2f2e 2b3c 5i6h 8b4b 6h7h 5a6b 5g5f 6b7b 8h7g 7b8b 9i9h "
               "7a7b 7h8h 3a3b 8h9i 4a5b 7i8h 9c9d 6i7i 1c1d 3i4h 3b4c 4h5g 6c6d 5g4f 5b6c "
               "4i5h 4c5d 3g3f 6a5b 2h2f 4d4e",
    "gangi": "7g7f 8c8d 6g6f 3c3d 7i6h 7a6b 6h6g 6c6d 5g5f 6b6c 3i4h 5a4b 4h5g 4b3b 6i7h "
             "6a5b 5i6h 4a4b 2g2f 8d8e 2f2e 2b3c 4i5h 3a2b 4g4f 1c1d 1g1f 9c9d 9g9f 6c5d "
             "3g3f 8e8f 8g8f 8b8f P*8g 8f8b 2i3g 5d4e",
    "ending": "7g7f 3c3d 2g2f 4c4d 2f2e 2b3c 3i4h 8b4b 5i6h 5a6b 6h7h 6b7b 5g5f 3a3b 9g9f "
              "9c9d 4i5h 7a6b 4h5g 3b4c 5g4f 4c5d 2e2d 2c2d 2h2d P*2c 2d2h 4d4e 4f4e 4b4e "
              "4g4f 4e4b 3g3f 6c6d 3f3e 3d3e 8h3c+ 2a3c 2h2c+ 4b2b 2c3c 2b2i+ 3c4b 6a5a B*6a",
}
