#pragma once
// The small modal message windows: a picture, one line of text and an "OK" that takes the focus.
#include <QDialog>
#include <QStyle>

class QLabel;
class QPushButton;

class MessageWindow : public QDialog {
    Q_OBJECT
public:
    MessageWindow(const QString &title, const QString &text, QWidget *parent = nullptr,
                  QStyle::StandardPixmap icon = QStyle::SP_MessageBoxWarning);
    QString text() const;

    QLabel *Label1 = nullptr;
    QPushButton *Command1 = nullptr;
    QLabel *Picture1 = nullptr;

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
};

// "Read Swipe Error" (or the non-ISO title while a non-ISO operation runs).
class sfrmReadErr : public MessageWindow {
    Q_OBJECT
public:
    explicit sfrmReadErr(QWidget *parent = nullptr);
};

// "Write Swipe Error", the non-ISO title, or the title the incremental encoder asks for.
class sfrmWriteErr : public MessageWindow {
    Q_OBJECT
public:
    explicit sfrmWriteErr(QWidget *parent = nullptr);
};

class sfrmEraseErr : public MessageWindow {
    Q_OBJECT
public:
    explicit sfrmEraseErr(QWidget *parent = nullptr);
};
