// Turns a Markdown manual into a PDF with Qt's own Markdown reader and PDF writer, so the build
// needs no document toolchain. Images are found relative to the Markdown file.
//   sarvik_mkpdf INPUT.md OUTPUT.pdf TITLE

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>
#include <QTextStream>
#include <QUrl>

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
    doc.setBaseUrl(QUrl::fromLocalFile(QFileInfo(input).absolutePath() + QLatin1Char('/')));
    doc.setMetaInformation(QTextDocument::DocumentTitle, QString::fromUtf8(argv[3]));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(10.0);
    doc.setDefaultFont(font);
    doc.setMarkdown(QString::fromUtf8(in.readAll()));

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
