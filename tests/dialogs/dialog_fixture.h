// What the dialog tests share: the scripted host installed for each test,
// and a run that types into fields, presses OK and cancels if the dialog
// stays open.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <utility>
#include <vector>

#include "platform/cdialog.h"
#include "platform/scriptedmodalhost.h"

class DialogFixture : public ::testing::Test {
 protected:
  ScriptedModalHost host;
  ScopedModalHost installed{&host};

  struct Outcome {
    int result = 0;
    bool stayedOpen = false;  // still open after OK was pressed
    std::vector<UINT> messages;
  };

  // Types each (control, text), presses OK, notes whether the dialog stayed
  // open and then cancels it.
  Outcome TypeAndPressOK(CDialog& dialog, const std::vector<std::pair<int, QString>>& typed) {
    host.Clear();
    Outcome outcome;
    host.ExpectDialog([&](DialogDriver& d) {
      for (const auto& entry : typed) EXPECT_TRUE(d.Type(entry.first, entry.second)) << entry.first;
      d.Click(IDOK);
      outcome.stayedOpen = d.IsOpen();
      if (outcome.stayedOpen) {
        // The texts stay as typed after a refusal.
        for (const auto& entry : typed) {
          if (!entry.second.isEmpty()) {
            EXPECT_EQ(d.Text(entry.first), entry.second.left(d.MaxLength(entry.first)));
          }
        }
        d.Click(IDCANCEL);
      }
    });
    outcome.result = dialog.DoModal();
    outcome.messages = host.MessageIds();
    return outcome;
  }

  // The text each control shows when the dialog opens.
  std::vector<QString> InitialTexts(CDialog& dialog, const std::vector<int>& ids) {
    std::vector<QString> texts;
    host.ExpectDialog([&](DialogDriver& d) {
      for (int id : ids) texts.push_back(d.Text(id));
      d.Click(IDCANCEL);
    });
    dialog.DoModal();
    return texts;
  }
};
