// The options mirror's bindings and the monitor grid's rendering.
#include "app/binding.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFontMetrics>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <stdexcept>

#include "app/text_edge.h"
#include "crawl/monitor.h"
#include "settings/option_table.h"

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

// Holds back a window's update requests that come sooner than `interval_ms` after the last
// one it let through, and posts one when the interval is over.
class PaintPacer final : public QObject {
 public:
  PaintPacer(QWidget* window, int interval_ms)
      : QObject(window), window_(window), interval_ms_(interval_ms) {
    release_.setSingleShot(true);
    QObject::connect(&release_, &QTimer::timeout, this, [this] {
      QCoreApplication::postEvent(window_, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
    });
    window_->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != window_ || event->type() != QEvent::UpdateRequest) return false;
    if (since_paint_.isValid() && since_paint_.elapsed() < interval_ms_) {
      if (!release_.isActive()) {
        release_.start(static_cast<int>(interval_ms_ - since_paint_.elapsed()));
      }
      return true;
    }
    since_paint_.start();
    return false;
  }

 private:
  QWidget* window_;
  int interval_ms_;
  QElapsedTimer since_paint_;
  QTimer release_;
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

template <class Option>
void BindEdit(QLineEdit* edit, Option& option) {
  const auto write = [&option, edit] { option.Set(FromQt(edit->text())); };
  write();
  QObject::connect(edit, &QLineEdit::textChanged, edit, write);
}
template void BindEdit(QLineEdit* edit, Guarded<std::string>& option);
template void BindEdit(QLineEdit* edit, NumberText& option);

void BindMemo(QPlainTextEdit* memo, Guarded<MemoText>& option) {
  const auto write = [&option, memo] { option.Set(MemoText(MemoFromQt(memo->toPlainText()))); };
  write();
  QObject::connect(memo, &QPlainTextEdit::textChanged, memo, write);
}

void BindSpinText(QSpinBox* spin, NumberText& option) {
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

void UntickEachOther(QCheckBox* one, QCheckBox* other) {
  QObject::connect(one, &QCheckBox::toggled, other, [other](bool on) {
    if (on) other->setChecked(false);
  });
  QObject::connect(other, &QCheckBox::toggled, one, [one](bool on) {
    if (on) one->setChecked(false);
  });
}

void BindOptionTables(QWidget* window, std::string_view prefix, CrawlOptions& options) {
  for (const CheckOption& row : kCheckOptions) {
    const bool other_window = prefix.empty() ? row.control.find('.') != std::string_view::npos
                                             : !row.control.starts_with(prefix);
    if (other_window) continue;
    BindCheck(Control<QCheckBox>(window, row.control.substr(prefix.size())), options.*row.member);
    if (const CheckOption* other = row.excludes.empty() ? nullptr : FindCheckOption(row.excludes)) {
      UntickEachOther(Control<QCheckBox>(window, row.control),
                      Control<QCheckBox>(window, other->control));
    }
  }
  if (!prefix.empty()) return;
  // A box whose option works only with another one is greyed out while that one is off.
  for (const CheckOption& row : kCheckOptions) {
    for (const CheckOption& need : kCheckOptions) {
      if (row.needs.empty() || need.flag != row.needs) continue;
      auto* box = Control<QCheckBox>(window, row.control);
      auto* needed = Control<QCheckBox>(window, need.control);
      box->setEnabled(needed->isChecked());
      QObject::connect(needed, &QCheckBox::toggled, box, &QCheckBox::setEnabled);
    }
  }
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

void RenderGrid(QTableWidget* table, const MonitorGrid& grid,
                std::vector<MonitorGrid::Row>& shown) {
  const auto& rows = grid.Rows();
  const int columns = table->columnCount();
  // Setting the titles makes new header items and lays the header out again.
  if (shown.empty() || shown[0] != rows[0]) {
    table->setHorizontalHeaderLabels(
        {ShownToQt(rows[0][0]), ShownToQt(rows[0][1]), ShownToQt(rows[0][2])});
  }
  if (table->rowCount() != static_cast<int>(rows.size()) - 1) {
    table->setRowCount(static_cast<int>(rows.size()) - 1);
  }
  for (size_t r = 1; r < rows.size(); ++r) {
    if (r < shown.size() && shown[r] == rows[r]) continue;
    for (int c = 0; c < columns; ++c) {
      const std::string& cell = rows[r][static_cast<size_t>(c)];
      if (r < shown.size() && shown[r][static_cast<size_t>(c)] == cell) continue;
      const QString text = ToQt(cell);
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
  shown = rows;
}

namespace {

// The most width `text` can take in `label`'s font: measured with every digit as the font's
// widest digit, so a counter measures once for each length of its number, not for each count.
int CounterWidth(const QLabel* label, const QString& text) {
  static QFont font;  // main thread only, like every widget
  static QChar widest;
  static QHash<QString, int> widths;
  const QFontMetrics metrics = label->fontMetrics();
  if (widest.isNull() || label->font() != font) {
    font = label->font();
    widths.clear();
    widest = u'0';
    for (char16_t digit = u'1'; digit <= u'9'; ++digit) {
      if (metrics.horizontalAdvance(QChar(digit)) > metrics.horizontalAdvance(widest)) {
        widest = QChar(digit);
      }
    }
  }
  QString shape = text;
  for (QChar& c : shape) {
    if (c.isDigit()) c = widest;
  }
  const auto known = widths.constFind(shape);
  if (known != widths.constEnd()) return *known;
  const int width = metrics.boundingRect(shape).width();
  widths.insert(shape, width);
  return width;
}

}  // namespace

void SetCounterText(QLabel* label, const QString& text) {
  const int room = label->minimumWidth();
  // The label's own measure can exceed this tight box by a pixel or two of bearing.
  constexpr int kSlack = 4;
  const bool fits = room > 0 && label->isVisible() && CounterWidth(label, text) + kSlack <= room;
  const bool pinned = label->maximumWidth() == room;
  if (fits && !pinned) {
    label->setFixedSize(room, label->height());
  } else if (!fits && pinned) {
    label->setMinimumSize(room, 0);
    label->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  }
  label->setText(text);
}

void PacePaints(QWidget* window, int interval_ms) {
  new PaintPacer(window, interval_ms);
}

}  // namespace korvane
