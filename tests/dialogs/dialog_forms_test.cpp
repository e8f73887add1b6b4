// Every dialog's form: title, controls by id, default button, edit limits,
// radio groups, labels that name their fields; and one picture of each.
#include <QAccessible>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <functional>
#include <memory>

#include "dialog_fixture.h"
#include "dialogs/arrayin2.h"
#include "dialogs/arrayins.h"
#include "dialogs/editarry.h"
#include "dialogs/editbool.h"
#include "dialogs/editflt.h"
#include "dialogs/editfrng.h"
#include "dialogs/editint.h"
#include "dialogs/editirng.h"
#include "dialogs/editstr.h"
#include "dialogs/editsym.h"
#include "dialogs/editsymb.h"
#include "dialogs/edituint.h"
#include "dialogs/zoombox.h"
#include "test_nodes.h"

namespace {

struct Edit {
  int id;
  int maxLength;  // 32767: Qt's default, no limit of the dialog's own
  const char* label;
};

struct Form {
  UINT templateId;
  const char* title;
  std::function<std::unique_ptr<CDialog>()> make;
  std::vector<Edit> edits;
  std::vector<std::pair<int, const char*>> buttons;  // besides OK and Cancel
  std::vector<std::pair<int, const char*>> radios;   // one group, in order
  const char* otherLabel;                             // the label of the radio group, if any
  int defaultButton;
  std::vector<int> disabled;
};

constexpr int kNoLimit = 32767;

std::vector<Form> Forms() {
  static TestNode editable(1);
  static TestNode fixed(0);
  const QV_String server("alpha");
  return {
      {20485, "Edit Integer", [] { return std::make_unique<CEditIntBox>(); }, {{49153, 20, "Enter Value:"}}, {}, {},
       nullptr, IDOK, {}},
      {20492, "Edit Unsigned Integer", [] { return std::make_unique<CEditUIntBox>(); }, {{49154, 20, "Enter Value:"}},
       {}, {}, nullptr, IDOK, {}},
      {20503, "Edit Float", [] { return std::make_unique<CEditFloatBox>(); }, {{49185, 100, "Enter Value:"}}, {}, {},
       nullptr, IDOK, {}},
      {20496, "Edit Integer Range", [] { return std::make_unique<CEditIRangeBox>(); },
       {{49161, 20, "Begin:"}, {49155, 20, "End:"}}, {}, {}, nullptr, IDOK, {}},
      {20502, "Edit Float Range", [] { return std::make_unique<CEditFRangeBox>(); },
       {{49161, 100, "Begin"}, {49155, 100, "End:"}}, {}, {}, nullptr, IDOK, {}},
      {20493, "Edit Boolean", [] { return std::make_unique<CEditBoolbox>(); }, {}, {},
       {{49164, "&True"}, {49167, "&False"}}, "Enter Value:", IDOK, {}},
      {20495, "Edit String", [] { return std::make_unique<CEditStringBox>(); }, {{49160, kNoLimit, "Enter Value:"}},
       {}, {}, nullptr, IDOK, {}},
      {20504, "Edit Array Type", [] { return std::make_unique<CEditArrayBox>(); }, {}, {},
       {{49199, "Array"},
        {49191, "Boolean"},
        {49188, "Float"},
        {49189, "Float Range"},
        {49186, "Integer"},
        {49187, "Integer Range"},
        {49197, "Key-Value Set"},
        {49195, "String"},
        {49193, "Symbol"},
        {49190, "Unsigned Integer"}},
       nullptr, IDOK, {}},
      {20486, "Insert Element Into Array",
       [server] { return std::make_unique<CArrayInsertBox>(nullptr, &editable, nullptr, server); },
       {{49166, kNoLimit, "Insert element at position:"}}, {{49201, "Edit Value..."}}, {}, nullptr, 49201, {}},
      {20506, "Insert Element Into Array",
       [server] { return std::make_unique<CArrayInsertKVSBox>(nullptr, &fixed, nullptr, server); },
       {{49166, kNoLimit, "Insert element at position:"}}, {}, {}, nullptr, IDOK, {}},
      {20497, "Enter Key to Add to KV Set",
       [server] { return std::make_unique<CEditSymBox>(nullptr, &editable, nullptr, server); },
       {{49158, kNoLimit, "Enter Key:"}}, {{49202, "Edit Value..."}}, {}, nullptr, 49202, {}},
      {20505, "Enter Key to Add to KV Set",
       [server] { return std::make_unique<CEditSymBox>(nullptr, &fixed, nullptr, server); },
       {{49158, kNoLimit, "Enter Key:"}}, {{49202, "Edit Value..."}}, {}, nullptr, IDOK, {49202}},
      {20494, "Edit Key or Symbol", [server] { return std::make_unique<CEditSymBox>(nullptr, nullptr, nullptr, server); },
       {{49158, kNoLimit, "Enter Value:"}}, {}, {}, nullptr, IDOK, {}},
      {20510, "Edit Symbol", [] { return std::make_unique<CEditSymbolBox>(); }, {{49203, kNoLimit, "Enter Symbol:"}},
       {}, {}, nullptr, IDOK, {}},
      {20499, "Zoom View", [] { return std::make_unique<CZoomBox>(); },
       {{49171, kNoLimit, "Enter % Magnification:"}}, {}, {}, nullptr, IDOK, {}},
  };
}

// The label whose buddy is the widget, or null.
QLabel* LabelFor(QWidget* dialog, QWidget* field) {
  for (QLabel* label : dialog->findChildren<QLabel*>())
    if (label->buddy() == field) return label;
  return nullptr;
}

QString AccessibleName(QWidget* widget) {
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
  return iface != nullptr ? iface->text(QAccessible::Name) : QString();
}

class DialogForms : public DialogFixture {};

}  // namespace

TEST_F(DialogForms, EveryFormHasItsTitleControlsAndDefaultButton) {
  for (const Form& form : Forms()) {
    SCOPED_TRACE(form.templateId);
    std::unique_ptr<CDialog> dialog = form.make();
    EXPECT_EQ(dialog->GetTemplateId(), form.templateId);
    host.Clear();
    host.ExpectDialog([&form](DialogDriver& d) {
      EXPECT_EQ(d.Title(), form.title);
      EXPECT_EQ(d.Text(IDOK), "OK");
      EXPECT_EQ(d.Text(IDCANCEL), "Cancel");
      for (const auto& [id, text] : form.buttons) EXPECT_EQ(d.Text(id), text) << id;
      for (const Edit& edit : form.edits) {
        EXPECT_EQ(d.MaxLength(edit.id), edit.maxLength) << edit.id;
        EXPECT_TRUE(d.IsEnabled(edit.id)) << edit.id;
      }
      for (const auto& [id, text] : form.radios) EXPECT_EQ(d.Text(id), text) << id;
      const int buttons[] = {IDOK, IDCANCEL, 49201, 49202};
      for (int id : buttons) {
        if (d.Control(id) == nullptr) continue;
        EXPECT_EQ(d.IsDefault(id), id == form.defaultButton) << id;
        const bool disabled = std::find(form.disabled.begin(), form.disabled.end(), id) != form.disabled.end();
        EXPECT_EQ(d.IsEnabled(id), !disabled) << id;
      }
      d.Click(IDCANCEL);
    });
    EXPECT_EQ(dialog->DoModal(), IDCANCEL);
    EXPECT_FALSE(host.Dialogs().at(0).leftOpen);
    // The radio buttons make one group, in the order of the choice index.
    if (!form.radios.empty()) {
      const std::vector<QRadioButton*> group = dialog->RadioGroup(form.radios.front().first);
      ASSERT_EQ(group.size(), form.radios.size());
      for (size_t i = 0; i < group.size(); ++i) EXPECT_EQ(group[i], dialog->GetControl(form.radios[i].first)) << i;
    }
  }
}

TEST_F(DialogForms, EveryFieldIsNamedByItsLabelAndReachableByKeyboard) {
  for (const Form& form : Forms()) {
    SCOPED_TRACE(form.templateId);
    std::unique_ptr<CDialog> dialog = form.make();
    QDialog* widget = dialog->GetDialog();
    for (const Edit& edit : form.edits) {
      QWidget* field = dialog->GetControl(edit.id);
      ASSERT_NE(field, nullptr) << edit.id;
      QLabel* label = LabelFor(widget, field);
      ASSERT_NE(label, nullptr) << edit.id;
      EXPECT_EQ(label->text(), edit.label);
      EXPECT_EQ(AccessibleName(field), QString(edit.label).remove('&')) << edit.id;
      EXPECT_NE(field->focusPolicy() & Qt::TabFocus, 0) << edit.id;
    }
    if (form.otherLabel != nullptr) {
      QLabel* label = LabelFor(widget, dialog->GetControl(form.radios.front().first));
      ASSERT_NE(label, nullptr);
      EXPECT_EQ(label->text(), form.otherLabel);
    }
    // Every label names a field, and every control has a name of its own.
    for (QLabel* label : widget->findChildren<QLabel*>()) EXPECT_NE(label->buddy(), nullptr) << label->text().toStdString();
    for (QWidget* control : widget->findChildren<QWidget*>()) {
      if (ControlId(control) == 0) continue;
      EXPECT_FALSE(AccessibleName(control).isEmpty()) << ControlId(control);
    }
  }
}

TEST_F(DialogForms, EveryFormFitsItsTextsAndIsPictured) {
  const QString folder = QStringLiteral(QUELT_TEST_BINARY_DIR "/dialogs");
  ASSERT_TRUE(QDir().mkpath(folder));
  for (const Form& form : Forms()) {
    SCOPED_TRACE(form.templateId);
    std::unique_ptr<CDialog> dialog = form.make();
    host.ExpectDialog([&](DialogDriver& d) {
      QDialog* widget = d.Dialog();
      widget->adjustSize();
      // Nothing is squeezed below what it needs to show its text.
      for (QWidget* child : widget->findChildren<QWidget*>()) {
        if (!child->isVisible() || qobject_cast<QLineEdit*>(child) != nullptr) continue;
        EXPECT_GE(child->width(), child->minimumSizeHint().width()) << child->objectName().toStdString();
        EXPECT_GE(child->height(), child->minimumSizeHint().height()) << child->objectName().toStdString();
        EXPECT_TRUE(widget->rect().contains(QRect(child->mapTo(widget, QPoint(0, 0)), child->size())))
            << child->objectName().toStdString();
      }
      const QPixmap shot = widget->grab();
      const QImage image = shot.toImage().convertToFormat(QImage::Format_RGB32);
      ASSERT_FALSE(image.isNull());
      EXPECT_EQ(image.size(), widget->size() * shot.devicePixelRatio());
      // Every label and button with a text shows something in its place:
      // the picture is of the dialog as filled in, not a blank window.
      const QRgb background = image.pixel(0, 0);
      int texts = 0;
      for (QWidget* child : widget->findChildren<QWidget*>()) {
        const bool hasText = (qobject_cast<QLabel*>(child) != nullptr && !qobject_cast<QLabel*>(child)->text().isEmpty()) ||
                             (qobject_cast<QPushButton*>(child) != nullptr && !qobject_cast<QPushButton*>(child)->text().isEmpty());
        if (!child->isVisible() || !hasText) continue;
        const QRect place = QRect(child->mapTo(widget, QPoint(0, 0)) * shot.devicePixelRatio(),
                                  child->size() * shot.devicePixelRatio()).intersected(image.rect());
        int inked = 0;
        for (int y = place.top(); y <= place.bottom(); ++y)
          for (int x = place.left(); x <= place.right(); ++x)
            if (image.pixel(x, y) != background) ++inked;
        EXPECT_GT(inked, 5) << child->objectName().toStdString();
        ++texts;
      }
      EXPECT_GE(texts, 2) << "at least OK and Cancel";
      EXPECT_TRUE(image.save(folder + QStringLiteral("/%1.png").arg(form.templateId)));
      d.Click(IDCANCEL);
    });
    dialog->DoModal();
  }
}
