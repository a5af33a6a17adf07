#include "sysmeld.h"

#include "formatsettings.h"
#include "i18n.h"
#include "logfiles.h"

#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSaveFile>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The two registration points of the helpers; QPointer so a destroyed window is never used.
QPointer<TfSysMeld>& registeredWindow()
{
    static QPointer<TfSysMeld> window;
    return window;
}

QColor fragmentColour(const QTextCharFormat& format)
{
    const QBrush brush = format.foreground();
    return brush.style() == Qt::NoBrush ? QColor(Qt::black) : brush.color();
}

void appendRtfText(QByteArray& out, const QString& text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\\' || u == u'{' || u == u'}') {
            out += '\\';
            out += static_cast<char>(u);
        } else if (u == u'\t') {
            out += "\\tab ";
        } else if (u >= 0x20 && u < 0x80) {
            out += static_cast<char>(u);
        } else {
            // \u takes a signed 16-bit number; "?" is what readers without Unicode show.
            out += "\\u" + QByteArray::number(static_cast<qint16>(u)) + '?';
        }
    }
}

QString defaultSaveDialog(QWidget* parent, const QString& proposedPath)
{
    return QFileDialog::getSaveFileName(parent, Tr("Systemmeldungen speichern"), proposedPath,
                                        Tr("RTF-Dateien (*.rtf);;Alle Dateien (*)"));
}

}  // namespace

void SetSysMeldWindow(TfSysMeld* window)
{
    registeredWindow() = window;
    if (!window) {
        SetSysMessageSink({});
        return;
    }
    SetSysMessageSink([](const QString& text, const QColor& colour, bool silent) {
        if (TfSysMeld* w = SysMeldWindow())
            w->AddSysMeldLine(text, colour, silent);
    });
}

TfSysMeld* SysMeldWindow()
{
    return registeredWindow().data();
}

QByteArray SysMeldToRtf(const QTextDocument& document)
{
    QList<QColor> colours;
    QByteArray body;
    const bool empty = document.isEmpty();
    for (QTextBlock block = document.begin(); !empty && block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            const QColor colour = fragmentColour(fragment.charFormat());
            qsizetype index = colours.indexOf(colour);
            if (index < 0) {
                colours.append(colour);
                index = colours.size() - 1;
            }
            // Entry 0 of the table is the reader's default colour, so ours start at 1.
            body += "\\cf" + QByteArray::number(index + 1) + ' ';
            appendRtfText(body, fragment.text());
        }
        body += "\\par\r\n";
    }

    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\r\n"
                     "{\\fonttbl{\\f0\\fmodern\\fcharset0 Courier New;}}\r\n"
                     "{\\colortbl;";
    for (const QColor& c : colours) {
        rtf += "\\red" + QByteArray::number(c.red()) + "\\green" + QByteArray::number(c.green()) + "\\blue" +
               QByteArray::number(c.blue()) + ';';
    }
    rtf += "}\r\n\\pard\\plain\\f0\\fs18\r\n";
    rtf += body;
    rtf += "}\r\n";
    return rtf;
}

TfSysMeld::TfSysMeld(TAppContext& context, QWidget* parent)
    : TPLXForm(context, parent)
{
    FClientID = ciSysMeld;
    setObjectName(QStringLiteral("fSysMeld"));
    // A window of its own that stays above the others, even when it has the main window as parent.
    setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint);
    // The stored default geometry is very small; keep the list and the buttons usable.
    setMinimumSize(320, 160);

    mem1 = new QTextEdit(this);
    mem1->setObjectName(QStringLiteral("mem1"));
    mem1->setReadOnly(true);
    mem1->setLineWrapMode(QTextEdit::NoWrap);
    mem1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // The list runs for the whole program; an undo history of it would only grow.
    mem1->setUndoRedoEnabled(false);

    btnSave = new QPushButton(this);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnClear = new QPushButton(this);
    btnClear->setObjectName(QStringLiteral("btnClear"));
    btnClose = new QPushButton(this);
    btnClose->setObjectName(QStringLiteral("btnClose"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnSave);
    buttons->addWidget(btnClear);
    buttons->addStretch(1);
    buttons->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(mem1, 1);
    layout->addLayout(buttons);

    connect(btnSave, &QPushButton::clicked, this, &TfSysMeld::btnSaveClick);
    connect(btnClear, &QPushButton::clicked, this, &TfSysMeld::btnClearClick);
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);

    SwitchLanguage();
}

TfSysMeld::~TfSysMeld() = default;

void TfSysMeld::SwitchLanguage()
{
    setWindowTitle(Tr("Systemmeldungen"));
    btnSave->setText(Tr("Speichern"));
    btnClear->setText(Tr("Löschen"));
    btnClose->setText(Tr("Schließen"));
}

int TfSysMeld::LineCount() const
{
    const QTextDocument* doc = mem1->document();
    return doc->isEmpty() ? 0 : doc->blockCount();
}

void TfSysMeld::AddSysMeldLine(const QString& text, const QColor& colour, bool silent)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("dd.MM. hh:mm:ss:zzz "));
    QTextDocument* doc = mem1->document();
    const bool wasEmpty = doc->isEmpty();

    QTextCursor cursor(doc);
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    format.setForeground(colour);
    // An empty document already has its one empty block; every later line needs a new one.
    if (!wasEmpty)
        cursor.insertBlock(QTextBlockFormat(), format);
    // A message with line breaks of its own becomes several lines, as in a plain text list.
    QString line = stamp + text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const int firstBlock = cursor.blockNumber();
    cursor.insertText(line, format);
    const int newBlocks = doc->blockCount() - firstBlock;

    // Oldest lines go first, so the list never holds more than kMaxLines.
    while (LineCount() > kMaxLines) {
        QTextCursor first(doc);
        first.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
        first.removeSelectedText();
    }

    FNewestLine = std::max(0, doc->blockCount() - newBlocks);
    scrollToEnd();

    if (!silent && isHidden()) {
        show();
        keepClear();
        scrollToEnd();
    }
}

void TfSysMeld::scrollToEnd()
{
    // The newest message from its start: the list does not wrap, and a long alarm scrolled to
    // its end would show neither its time nor its beginning.
    QTextCursor cursor(mem1->document()->findBlockByNumber(FNewestLine));
    if (cursor.isNull() || !cursor.block().isValid()) {
        cursor = mem1->textCursor();
        cursor.movePosition(QTextCursor::End);
        cursor.movePosition(QTextCursor::StartOfBlock);
    }
    mem1->setTextCursor(cursor);
    mem1->verticalScrollBar()->setValue(mem1->verticalScrollBar()->maximum());
    mem1->horizontalScrollBar()->setValue(0);
}

void TfSysMeld::SetKeepClearArea(std::function<QRect()> area)
{
    FKeepClearArea = std::move(area);
}

void TfSysMeld::keepClear()
{
    const QRect avoid = FKeepClearArea ? FKeepClearArea() : QRect();
    QRect frame = frameGeometry();
    if (avoid.isEmpty() || !frame.intersects(avoid))
        return;
    const QScreen* scr = screen();
    const QRect available = scr ? scr->availableGeometry() : QRect();
    // Beside the panel if the screen has room there, else below it.
    QRect beside = frame;
    beside.moveLeft(avoid.right() + 1);
    if (available.isEmpty() || available.contains(beside)) {
        frame = beside;
    } else {
        frame.moveTop(avoid.bottom() + 1);
        if (!available.isEmpty() && frame.right() > available.right())
            frame.moveRight(available.right());
    }
    move(frame.topLeft());
}

void TfSysMeld::SetSaveDialog(TSaveDialog dialog)
{
    FSaveDialog = std::move(dialog);
}

QString TfSysMeld::ProposedFileName(const QDateTime& now)
{
    const QString name =
        QStringLiteral("SarvikControl_") + now.toString(QStringLiteral("yyyyMMddhhmmss")) + QStringLiteral(".RTF");
    return QDir(LogDirectory(Context().Settings())).filePath(name);
}

void TfSysMeld::btnSaveClick()
{
    if (mem1->document()->isEmpty()) {
        report(Tr("Keine Systemmeldungen vorhanden"), true);
        return;
    }
    const QString proposed = ProposedFileName();
    const QString path = FSaveDialog ? FSaveDialog(this, proposed) : defaultSaveDialog(this, proposed);
    if (path.isEmpty()) {
        report(Tr("Systemmeldungen nicht gespeichert"), true);
        return;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(SysMeldToRtf(*mem1->document())) < 0 || !file.commit()) {
        // A file that was not written must not be reported as saved.
        report(Tr("Systemmeldungen nicht gespeichert"), true);
        return;
    }
    report(FmtDisplay().Format(Tr("Systemmeldungen in Datei %s gespeichert"), {path}), false);
}

void TfSysMeld::btnClearClick()
{
    mem1->clear();
}

void TfSysMeld::report(const QString& text, bool alarm)
{
    ShowStatus(text, alarm);
    StatusMessage(text, alarm);
}

bool TfSysMeld::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        scrollToEnd();
    return TPLXForm::event(event);
}

void TfSysMeld::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    TPLXForm::keyPressEvent(event);
}
