#include "ui/common/CardPromptWindow.h"

#include "card/TrackBlock.h"
#include "ui/common/MessageWindow.h"
#include "ui/common/PictureDialog.h"
#include "ui/common/RecordView.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// Keeps a number label over the run of blanks after "#" in its line, whatever the font.
class BlankRunPlacer : public QObject {
public:
    BlankRunPlacer(QLabel *line, QLabel *number) : QObject(line), line_(line), number_(number)
    {
        line->installEventFilter(this);
        place();
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == line_ && (event->type() == QEvent::Resize || event->type() == QEvent::Show ||
                                 event->type() == QEvent::FontChange || event->type() == QEvent::Polish))
            place();
        return QObject::eventFilter(watched, event);
    }

private:
    void place()
    {
        const QString text = line_->text();
        const int start = int(text.indexOf(QLatin1Char('#'))) + 1;
        int end = start;
        while (end < text.size() && text.at(end) == QLatin1Char(' '))
            ++end;
        const QFontMetrics fm(line_->font());
        const QRect r = line_->contentsRect();
        const int x = r.x() + line_->margin() + fm.horizontalAdvance(text.left(start));
        number_->setFont(line_->font());
        number_->setGeometry(x, r.y(), fm.horizontalAdvance(text.mid(start, end - start)), r.height());
    }
    QLabel *line_;
    QLabel *number_;
};
} // namespace

CardPromptWindow::CardPromptWindow(const WindowProfile &profile, RecordView *records, QWidget *parent,
                                   const QString &title, const QString &numberLine, QStyle::StandardPixmap picture)
    : SwipeWindow(profile, records, parent)
{
    setWindowTitle(title);

    Picture1 = makePicture(this, picture);

    Label1 = new QLabel(numberLine, this);
    Label1->setObjectName("Label1");
    LC = new QLabel(QStringLiteral("1"), Label1);
    LC->setObjectName("LC");
    LC->setAlignment(Qt::AlignCenter);
    new BlankRunPlacer(Label1, LC);

    Label2 = new QLabel(QStringLiteral("Please swipe a card."), this);
    Label2->setObjectName("Label2");
    QFont bold = Label2->font();
    bold.setBold(true);
    Label2->setFont(bold);
    // The window keeps its size while the lines come and go.
    for (QLabel *label : {Label1, Label2}) {
        QSizePolicy keep = label->sizePolicy();
        keep.setRetainSizeWhenHidden(true);
        label->setSizePolicy(keep);
    }
    Label2->hide();

    auto *text = new QVBoxLayout;
    text->addWidget(Label1);
    text->addSpacing(6);
    text->addWidget(Label2);
    layoutPictureDialog(this, Picture1, text, {Command1});
}

Prompt CardPromptWindow::prompt()
{
    return [this](bool show) { Label2->setVisible(show); };
}

void CardPromptWindow::nextCard() { LC->setText(QString::number(LC->text().toInt() + 1)); }

void CardPromptWindow::showOutput(const Iso::Tracks &tracks, bool lengths)
{
    RecordView *view = records();
    for (int i = 0; i < 3; ++i)
        view->setTrackText(3 + i, tracks[size_t(i)]);
    for (int i = 0; i < 3; ++i) {
        const QByteArray &t = tracks[size_t(i)];
        view->setCount(3 + i, lengths ? QString::number(t.size()) : Iso::CharCountText(t));
    }
}

void CardPromptWindow::showFailedOutput()
{
    RecordView *view = records();
    for (int i = 3; i < 6; ++i)
        view->setTrackText(i, Iso::Unreadable);
    for (int i = 3; i < 6; ++i)
        view->setCount(i, QStringLiteral("0"));
}

bool CardPromptWindow::showWriteFailure()
{
    if (cancelled())
        return false;
    showFailedOutput();
    records()->setMessage(QString());
    Started = true;
    dialect().disarm(device());
    if (cancelled())
        return false;
    sfrmWriteErr err(this, writeErrorTitle());
    showIndicatedError(err);
    return true;
}
