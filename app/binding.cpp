// The options mirror's bindings and the monitor grid's rendering.
#include "app/binding.h"

#include <QCheckBox>
#include <QEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTableWidget>
#include <stdexcept>

#include "app/text_edge.h"
#include "crawl/monitor.h"
#include "crawl/option_table.h"

namespace korvane {

namespace {

// Writes a control's enabled state into an option whenever it changes.
class EnabledWatcher final : public QObject {
 public:
  EnabledWatcher(QWidget* control, std::atomic<bool>& option)
      : QObject(control), control_(control), option_(option) {
    option_.store(control_->isEnabled());
    control_->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == control_ && event->type() == QEvent::EnabledChange) {
      option_.store(control_->isEnabled());
    }
    return false;
  }

 private:
  QWidget* control_;
  std::atomic<bool>& option_;
};

template <class Widget>
Widget* Control(QWidget* window, std::string_view name) {
  auto* widget = window->findChild<Widget*>(QString::fromUtf8(name.data(), name.size()));
  if (widget == nullptr) throw std::logic_error("no control " + std::string(name));
  return widget;
}
}  // namespace

void BindCheck(QCheckBox* box, std::atomic<bool>& option) {
  option.store(box->isChecked());
  QObject::connect(box, &QCheckBox::toggled, box, [&option](bool on) { option.store(on); });
}

void BindEdit(QLineEdit* edit, Guarded<std::string>& option) {
  const auto write = [&option, edit] { option.Set(FromQt(edit->text())); };
  write();
  QObject::connect(edit, &QLineEdit::textChanged, edit, write);
}

void BindMemo(QPlainTextEdit* memo, Guarded<MemoText>& option) {
  const auto write = [&option, memo] { option.Set(MemoText(MemoFromQt(memo->toPlainText()))); };
  write();
  QObject::connect(memo, &QPlainTextEdit::textChanged, memo, write);
}

void BindSpinText(QSpinBox* spin, Guarded<std::string>& option) {
  // The spin box signals only whole numbers (a value set or stepped); its editor signals the
  // keystrokes, so a field cleared or holding a lone "-" reaches the engine as the text it
  // is, which reads as 0.
  QLineEdit* editor = spin->findChild<QLineEdit*>();
  const auto write = [&option, editor] { option.Set(FromQt(editor->text())); };
  write();
  QObject::connect(spin, &QSpinBox::textChanged, spin, write);
  QObject::connect(editor, &QLineEdit::textChanged, spin, write);
  // Leaving the field puts its last whole number back without a signal of its own.
  QObject::connect(spin, &QSpinBox::editingFinished, spin, write);
}

void BindNumber(QSpinBox* spin, std::atomic<int64_t>& option) {
  option.store(spin->value());
  QObject::connect(spin, &QSpinBox::valueChanged, spin,
                   [&option](int value) { option.store(value); });
}

void BindEnabled(QWidget* control, std::atomic<bool>& option) {
  new EnabledWatcher(control, option);
}

void BindOptionTables(QWidget* window, std::string_view prefix, CrawlOptions& options) {
  for (const CheckOption& row : kCheckOptions) {
    const bool other_window = prefix.empty() ? row.control.find('.') != std::string_view::npos
                                             : !row.control.starts_with(prefix);
    if (other_window) continue;
    BindCheck(Control<QCheckBox>(window, row.control.substr(prefix.size())), options.*row.member);
  }
  if (!prefix.empty()) return;
  for (const NumberOption& row : kNumberOptions) {
    BindNumber(Control<QSpinBox>(window, row.control), options.*row.member);
  }
}

void ApplyExtensionValues(QWidget* window, const std::vector<ExtensionValue>& values) {
  for (const ExtensionValue& value : values) {
    const QString name = QString::fromUtf8(value.control.data(), value.control.size());
    if (auto* field = window->findChild<QSpinBox*>(name)) {
      field->setValue(static_cast<int>(value.value));
    } else {
      Control<QCheckBox>(window, value.control)->setChecked(value.value != 0);
    }
  }
}

void RenderGrid(QTableWidget* table, const MonitorGrid& grid) {
  const auto& rows = grid.Rows();
  const int columns = table->columnCount();
  table->setHorizontalHeaderLabels({ToQt(rows[0][0]), ToQt(rows[0][1]), ToQt(rows[0][2])});
  table->setRowCount(static_cast<int>(rows.size()) - 1);
  for (size_t r = 1; r < rows.size(); ++r) {
    for (int c = 0; c < columns; ++c) {
      const QString text = ToQt(rows[r][static_cast<size_t>(c)]);
      QTableWidgetItem* item = table->item(static_cast<int>(r) - 1, c);
      if (item == nullptr) {
        item = new QTableWidgetItem(text);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        table->setItem(static_cast<int>(r) - 1, c, item);
      } else if (item->text() != text) {
        item->setText(text);
      }
    }
  }
}

}  // namespace korvane
