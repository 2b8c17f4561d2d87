#include "ui/common/CardPromptWindow.h"

#include "ui/common/PictureDialog.h"

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

CardPromptWindow::CardPromptWindow(RecordView *records, QWidget *parent, const QString &title,
                                   const QString &numberLine, QStyle::StandardPixmap picture)
    : SwipeWindow(records, parent)
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

    lines_ = new QVBoxLayout;
    lines_->addWidget(Label1);
    lines_->addSpacing(6);
    lines_->addWidget(Label2);
    layoutPictureDialog(this, Picture1, lines_, {Command1});
}

QLabel *CardPromptWindow::addLine(const QString &name)
{
    auto *line = new QLabel(this);
    line->setObjectName(name);
    QSizePolicy keep = line->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    line->setSizePolicy(keep);
    line->setMinimumHeight(line->fontMetrics().lineSpacing());
    line->hide();
    lines_->addWidget(line);
    return line;
}

void CardPromptWindow::showPrompt(bool shown) { Label2->setVisible(shown); }

void CardPromptWindow::showCard(qint64 number)
{
    LC->setText(QString::number(number));
    Label1->show();
    LC->show();
}

void CardPromptWindow::hideCard()
{
    LC->hide();
    Label1->hide();
    Label2->hide();
}
