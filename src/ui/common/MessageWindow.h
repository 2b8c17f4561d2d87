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

// "Read Swipe Error", or the title of the window that shows it (non-ISO).
class sfrmReadErr : public MessageWindow {
    Q_OBJECT
public:
    static const QString kTitle;
    static const QString kNonIsoTitle;
    explicit sfrmReadErr(QWidget *parent = nullptr, const QString &title = kTitle);
};

// "Write Swipe Error", or the title of the window that shows it (non-ISO, incremental).
class sfrmWriteErr : public MessageWindow {
    Q_OBJECT
public:
    static const QString kTitle;
    static const QString kNonIsoTitle;
    explicit sfrmWriteErr(QWidget *parent = nullptr, const QString &title = kTitle);
};

class sfrmEraseErr : public MessageWindow {
    Q_OBJECT
public:
    explicit sfrmEraseErr(QWidget *parent = nullptr);
};
