// The seven scalar value nodes: their texts, their conversions to and from
// data elements, their dialogs and the row they draw.
#include <cmath>
#include <cstring>
#include <string>

#include "tests/tree/nodes_fixture.h"
#include "tree/boolnode.h"
#include "tree/fltnode.h"
#include "tree/frngnode.h"
#include "tree/intnode.h"
#include "tree/irngnode.h"
#include "tree/str_node.h"
#include "tree/uintnode.h"

namespace {

using Maker = std::function<std::unique_ptr<CDENode>()>;

template <typename Node>
Maker Make() {
  return [] { return std::make_unique<Node>(); };
}

// Every scalar node class with an element of its kind.
struct Kind {
  const char* type;
  Maker make;
  QV_DataElement sample;
};

std::vector<Kind> Kinds() {
  return {
      {"CBoolNode", Make<CBoolNode>(), BoolDE(7)},
      {"CIntegerNode", Make<CIntegerNode>(), IntDE(-2147483647 - 1)},
      {"CUIntNode", Make<CUIntNode>(), UIntDE(4294967295u)},
      {"CFloatNode", Make<CFloatNode>(), FloatDE(-0.0f)},
      {"CIRangeNode", Make<CIRangeNode>(), IRangeDE(5, -3)},
      {"CFRangeNode", Make<CFRangeNode>(), FRangeDE(-INFINITY, 2.5f)},
      {"CStringNode", Make<CStringNode>(), StringDE("quoted \"text\"\n")},
  };
}

// The two value words of an element, as the accessors read them.
std::string Words(const QV_DataElement& e) {
  if (e.Type() == CT_TYPE_STRING) return e.String() ? e.String() : "<null>";
  const CTirange r = e.IRange();
  return std::to_string(e.Type()) + ":" + std::to_string(r.start) + "," + std::to_string(r.end);
}

TEST_F(NodesTest, ScalarTextsMatchTheirValues) {
  const std::string longText(3000, 'x');
  struct Case {
    Maker make;
    QV_DataElement value;  // no value: the node as constructed
    std::string text;
  } cases[] = {
      {Make<CBoolNode>(), {}, "TRUE"},
      {Make<CIntegerNode>(), {}, "0"},
      {Make<CUIntNode>(), {}, "0"},
      {Make<CFloatNode>(), {}, "0"},
      {Make<CIRangeNode>(), {}, "0 to 0"},
      {Make<CFRangeNode>(), {}, "0 to 0"},
      {Make<CStringNode>(), {}, "\"\""},
      {Make<CBoolNode>(), BoolDE(0), "FALSE"},
      {Make<CBoolNode>(), BoolDE(7), "FALSE"},
      {Make<CIntegerNode>(), IntDE(5), "+5"},
      {Make<CIntegerNode>(), IntDE(-5), "-5"},
      {Make<CIntegerNode>(), IntDE(2147483647), "+2147483647"},
      {Make<CIntegerNode>(), IntDE(-2147483647 - 1), "-2147483648"},
      {Make<CUIntNode>(), UIntDE(4294967295u), "4294967295"},
      {Make<CFloatNode>(), FloatDE(123.25f), "123.25"},
      {Make<CFloatNode>(), FloatDE(0.123456789f), "0.1234568"},
      {Make<CIRangeNode>(), IRangeDE(5, -3), "5 to -3"},
      {Make<CFRangeNode>(), FRangeDE(1.5f, 2.25f), "1.5 to 2.25"},
      {Make<CFRangeNode>(), FRangeDE(1.0f / 3, -1e30f), "0.3333333 to -1e+30"},
      {Make<CStringNode>(), StringDE("abc"), "\"abc\""},
      {Make<CStringNode>(), StringDE(nullptr), "\"\""},
      // Too long for the row: shown shortened to what the buffer holds.
      {Make<CStringNode>(), StringDE(longText.c_str()), "\"" + longText.substr(0, 2045) + "\""},
  };
  for (Case& c : cases) {
    auto node = c.make();
    if (c.value.Type() != CT_TYPE_NONE) {
      ASSERT_EQ(node->PutDE(c.value, Session(), server), 1) << c.text;
    }
    EXPECT_EQ(DrawnText(*node), c.text);
    EXPECT_EQ(std::string(node->SearchText()), c.text);
  }
}

TEST_F(NodesTest, ScalarsRoundTripTheirOwnKindAndRefuseEveryOther) {
  const std::vector<Kind> kinds = Kinds();
  const std::string longText(5000, 'y');
  for (const Kind& kind : kinds) {
    for (const Kind& other : kinds) {
      auto node = kind.make();
      EXPECT_EQ(std::string(node->Type()), kind.type);
      const bool same = std::strcmp(kind.type, other.type) == 0;
      EXPECT_EQ(node->PutDE(other.sample, Session(), server), same ? 1 : 0) << kind.type << " <- " << other.type;
      QV_DataElement out;
      ASSERT_EQ(node->GetDE(out), 1);
      if (same) {
        EXPECT_EQ(Words(out), Words(other.sample)) << kind.type;
      } else {
        // Refused: the node keeps its constructor value.
        QV_DataElement fresh;
        kind.make()->GetDE(fresh);
        EXPECT_EQ(Words(out), Words(fresh)) << kind.type << " <- " << other.type;
      }
    }
  }
  // A text too long to show is still kept whole.
  CStringNode text;
  ASSERT_EQ(text.PutDE(StringDE(longText.c_str()), Session(), server), 1);
  QV_DataElement out;
  text.GetDE(out);
  EXPECT_EQ(std::string(out.String()), longText);
}

TEST_F(NodesTest, ScalarDialogsOpenOnTheValueAndTakeItOnOK) {
  struct Case {
    Maker make;
    QV_DataElement start;
    std::vector<std::pair<int, QString>> shown;  // what the dialog opens with
    std::vector<std::pair<int, QString>> typed;
    std::string after;  // the node's text after OK
  } cases[] = {
      {Make<CIntegerNode>(), IntDE(-5), {{49153, "-5"}}, {{49153, "42"}}, "+42"},
      {Make<CUIntNode>(), UIntDE(7), {{49154, "7"}}, {{49154, "4294967295"}}, "4294967295"},
      {Make<CFloatNode>(), FloatDE(0.1f), {{49185, "0.1"}}, {{49185, "-2.5"}}, "-2.5"},
      {Make<CIRangeNode>(), IRangeDE(1, 2), {{49161, "1"}, {49155, "2"}}, {{49161, "9"}, {49155, "-9"}}, "9 to -9"},
      {Make<CFRangeNode>(), FRangeDE(1.5f, 2), {{49161, "1.5"}, {49155, "2"}}, {{49161, "5"}, {49155, "1"}},
       "5 to 1"},
      {Make<CStringNode>(), StringDE("old"), {{49160, "old"}}, {{49160, ""}}, "\"\""},
  };
  for (Case& c : cases) {
    for (bool ok : {false, true}) {
      auto node = c.make();
      ASSERT_EQ(node->PutDE(c.start, Session(), server), 1);
      const std::string before = DrawnText(*node);
      host.Clear();
      host.ExpectDialog([&](DialogDriver& d) {
        for (auto& [id, text] : c.shown) EXPECT_EQ(d.Text(id), text) << c.after;
        for (auto& [id, text] : c.typed) EXPECT_TRUE(d.Type(id, text));
        d.Click(ok ? 1 : 2);
      });
      EXPECT_EQ(node->EditNode(Session(), server, nullptr), ok ? 1 : 0);
      EXPECT_EQ(DrawnText(*node), ok ? c.after : before);
      EXPECT_TRUE(host.MessageIds().empty());
    }
  }
}

TEST_F(NodesTest, BoolDialogChoiceMapsToTheValue) {
  // value held -> button checked when the dialog opens; button pressed -> value after OK.
  struct Case {
    int32_t held;
    int checkedButton;
    int pressed;
    int32_t after;
  } cases[] = {
      {1, 49164, 49164, 1},
      {1, 49164, 49167, 0},
      {0, 49167, 49164, 1},
      {7, 49167, 49167, 0},  // any value but 1 counts as false, and an edit makes it 0 or 1
  };
  for (const Case& c : cases) {
    CBoolNode node;
    node.PutDE(BoolDE(c.held), Session(), server);
    host.ExpectDialog([&](DialogDriver& d) {
      EXPECT_TRUE(d.IsChecked(c.checkedButton)) << c.held;
      EXPECT_TRUE(d.Click(c.pressed));
      d.Click(1);
    });
    ASSERT_EQ(node.EditNode(Session(), server, nullptr), 1);
    QV_DataElement out;
    node.GetDE(out);
    EXPECT_EQ(out.Bool(), c.after) << c.held << " " << c.pressed;
  }
  // OK without a change still reports a change, and keeps a stored 7 as 0.
  CBoolNode seven;
  seven.PutDE(BoolDE(7), Session(), server);
  host.ExpectDialog([](DialogDriver& d) { d.Click(1); });
  EXPECT_EQ(seven.EditNode(Session(), server, nullptr), 1);
  EXPECT_EQ(seven.GetValue(), 0);
}

TEST_F(NodesTest, ScalarRowGeometryAtEachScale) {
  // The recording device's default font: 8 units a character, 16 high.
  struct Case {
    float scale;
    int x, y;
    CRect icon;     // device rectangle of the icon
    CPoint text;    // where the text starts
    int boxWidth;   // logical
  } cases[] = {
      {1.0f, 10, 20, CRect(10, 20, 26, 36), CPoint(32, 20), 16 + 6 + 2 * 8},
      {2.0f, 10, 20, CRect(20, 40, 52, 72), CPoint(64, 48), 16 + 6 + 2 * 8 / 2},
      {1.5f, 3, 3, CRect(4, 4, 28, 28), CPoint(37, 8), 16 + 6 + 10},  // 16 / 1.5 = 10.67 -> truncated total
  };
  for (const Case& c : cases) {
    CIntegerNode node;
    node.PutDE(IntDE(7), Session(), server);  // "+7"
    CRecordingDC dc;
    ASSERT_EQ(node.DrawNode(c.x, c.y, &dc, c.scale), 1);
    std::vector<DCRecord> blits = dc.RecordsOf(DCRecord::Op::SetDIBitsToDevice);
    for (const DCRecord& r : dc.RecordsOf(DCRecord::Op::StretchDIBits)) blits.push_back(r);
    ASSERT_EQ(blits.size(), 1u) << c.scale;
    EXPECT_EQ(blits[0].rect, c.icon) << c.scale;
    const auto texts = dc.RecordsOf(DCRecord::Op::TextOut);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].from, c.text) << c.scale;
    EXPECT_EQ(node.GetTotalWidth(), c.boxWidth) << c.scale;
    EXPECT_EQ(node.GetTotalHeight(), 16);
  }
  // Without icons nothing is drawn and the row reports failure.
  CBitmapStore::FreeBitmaps();
  CStringNode bare;
  CRecordingDC dc;
  EXPECT_EQ(bare.DrawNode(0, 0, &dc, 1.0f), 0);
  EXPECT_TRUE(dc.Records().empty());
}

}  // namespace
