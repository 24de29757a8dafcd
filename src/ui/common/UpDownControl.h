#pragma once
// A pair of small arrow buttons that steps a whole number through a range, wrapping round at
// both ends. It may be bound to a field that shows its position; the arrow keys step it from
// there too. Qt has no such stand-alone control (QSpinBox brings its own field).

#include <QWidget>

class QLineEdit;
class QTimer;

class UpDownControl : public QWidget {
    Q_OBJECT
public:
    explicit UpDownControl(QWidget* parent = nullptr);

    void SetRange(int minimum, int maximum);
    // Shows a position without reporting it. A position outside the range is shown as it
    // is; the next step brings it back into the range.
    void SetPosition(int position);
    int Position() const { return Pos; }
    int Minimum() const { return Min; }
    int Maximum() const { return Max; }

    // The field that shows the position, or nullptr.
    void SetBuddy(QLineEdit* field);

    // One step as the user makes it: +1 up, -1 down, wrapping round; then Clicked.
    void Step(int direction);

    QSize sizeHint() const override { return {16, 25}; }

signals:
    void Clicked(int position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QRect HalfRect(int half) const; // 0 upper, 1 lower
    void ShowPosition();
    void Repeat();

    int Min = 0;
    int Max = 100;
    int Pos = 0;
    int PressedHalf = -1;
    QLineEdit* Buddy = nullptr;
    QTimer* RepeatTimer;
};
