// Turns a Markdown manual into a PDF with Qt's own Markdown reader and PDF writer, so the build
// needs no document toolchain. Images are found relative to the Markdown file.
//   sarvik_mkpdf INPUT.md OUTPUT.pdf TITLE

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextStream>
#include <QUrl>

namespace {

// Layout width of the text on an A4 page with the margins below, in the document's units.
constexpr double kTextWidth = 560.0;

// Screenshots are wider than the page: scale them down to the text width.
void fitImages(QTextDocument& doc, const QString& baseDir)
{
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            if (!frag.charFormat().isImageFormat())
                continue;
            QTextImageFormat fmt = frag.charFormat().toImageFormat();
            const QImage image(QDir(baseDir).filePath(fmt.name()));
            if (image.isNull() || image.width() <= kTextWidth)
                continue;
            fmt.setWidth(kTextWidth);
            fmt.setHeight(kTextWidth * image.height() / image.width());
            QTextCursor cursor(&doc);
            cursor.setPosition(frag.position());
            cursor.setPosition(frag.position() + frag.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(fmt);
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    // Runs during the build, where no display may exist.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc != 4) {
        err << "usage: sarvik_mkpdf INPUT.md OUTPUT.pdf TITLE" << Qt::endl;
        return 2;
    }
    const QString input = QString::fromLocal8Bit(argv[1]);
    const QString output = QString::fromLocal8Bit(argv[2]);
    QFile in(input);
    if (!in.open(QIODevice::ReadOnly)) {
        err << "sarvik_mkpdf: " << input << ": " << in.errorString() << Qt::endl;
        return 1;
    }
    QTextDocument doc;
    // Relative image names resolve against the document's own URL.
    doc.setMetaInformation(QTextDocument::DocumentUrl, QUrl::fromLocalFile(QFileInfo(input).absoluteFilePath()).toString());
    doc.setMetaInformation(QTextDocument::DocumentTitle, QString::fromUtf8(argv[3]));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(10.0);
    doc.setDefaultFont(font);
    doc.setMarkdown(QString::fromUtf8(in.readAll()));

    fitImages(doc, QFileInfo(input).absolutePath());

    const QString tmp = output + QStringLiteral(".part");
    {
        QPdfWriter writer(tmp);
        writer.setTitle(QString::fromUtf8(argv[3]));
        writer.setCreator(QStringLiteral("SarvikControl"));
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(18, 18, 18, 18), QPageLayout::Millimeter);
        writer.setResolution(150);
        doc.print(&writer);
    }
    QFile::remove(output);
    if (!QFile::rename(tmp, output)) {
        err << "sarvik_mkpdf: cannot write " << output << Qt::endl;
        return 1;
    }
    return 0;
}
