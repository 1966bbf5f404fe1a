// Two small widgets whose events the windows' handlers need and Qt's stock widgets do not
// signal: a check box that reports the mouse release, and a label that reports clicks.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>

namespace korvane {

// A check box that signals mouseUp after a mouse release has been handled, so the tick
// state it reports is the new one. Keyboard toggles do not signal it.
class MouseUpCheckBox final : public QCheckBox {
  Q_OBJECT
 public:
  using QCheckBox::QCheckBox;

 signals:
  void mouseUp();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    QCheckBox::mouseReleaseEvent(event);
    emit mouseUp();
  }
};

// A label that signals a click (left button released over it) and every mouse move over it.
class LinkLabel final : public QLabel {
  Q_OBJECT
 public:
  explicit LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setMouseTracking(true);
  }

 signals:
  void clicked();
  void mouseMoved();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
      emit clicked();
    }
    QLabel::mouseReleaseEvent(event);
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    emit mouseMoved();
    QLabel::mouseMoveEvent(event);
  }
};

}  // namespace korvane
