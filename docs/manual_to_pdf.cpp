// Renders the operator's manual from Markdown to PDF at build time.
//   manual_to_pdf <manual.md> <output.pdf>
// Pictures are found relative to the Markdown file and shrunk to the page width when wider.
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextFrame>
#include <QTextTable>
#include <QUrl>

#include <cstdio>

namespace {

constexpr int kBodyPointSize = 10;
// Printing an unpaginated document adds 2 cm margins on every side and page numbers; the
// document itself is laid out at 96 pixels per inch.
constexpr qreal kPrintMarginMm = 20;
constexpr qreal kLayoutDpi = 96;
constexpr qreal kImageShare = 0.8; // pictures take at most this share of the text width

// Loads every picture of the document and limits it to the given width, keeping its
// proportions. Printing works on a copy of the document that keeps only resources added by hand,
// so each picture is added under its full path.
bool PreparePictures(QTextDocument &document, qreal maxWidth) {
    bool allFound = true;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QTextImageFormat format = fragment.charFormat().toImageFormat();
            if (!format.isValid())
                continue;
            const QUrl url = document.baseUrl().resolved(QUrl(format.name()));
            const QImage image(url.toLocalFile());
            if (image.isNull()) {
                std::fprintf(stderr, "manual_to_pdf: no picture %s\n", qPrintable(url.toString()));
                allFound = false;
                continue;
            }
            document.addResource(QTextDocument::ImageResource, url, image);
            format.setName(url.toString());
            if (image.width() > maxWidth) {
                format.setWidth(maxWidth);
                format.setHeight(image.height() * maxWidth / image.width());
            }
            QTextCursor cursor(&document);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(format);
        }
    }
    return allFound;
}

// Tables with ruled cells, code on a grey ground, air above headings.
void StyleDocument(QTextDocument &document) {
    QTextCursor cursor(&document);
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QTextBlockFormat format = block.blockFormat();
        if (format.headingLevel() > 0)
            format.setTopMargin(format.headingLevel() == 1 ? 0 : 14);
        else if (format.hasProperty(QTextFormat::BlockCodeFence))
            format.setBackground(QColor(0xee, 0xf0, 0xf3));
        else
            continue;
        cursor.setPosition(block.position());
        cursor.setBlockFormat(format);
    }
    for (QTextFrame *frame : document.rootFrame()->childFrames()) {
        auto *table = qobject_cast<QTextTable *>(frame);
        if (!table)
            continue;
        QTextTableFormat format = table->format();
        format.setBorderCollapse(true);
        format.setBorder(1);
        format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        format.setBorderBrush(QColor(0x9a, 0xa3, 0xb3));
        format.setCellPadding(3);
        format.setCellSpacing(0);
        table->setFormat(format);
    }
}

} // namespace

int main(int argc, char *argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen"); // a build step has no display
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: manual_to_pdf <manual.md> <output.pdf>\n");
        return 2;
    }
    const QString source = QString::fromLocal8Bit(argv[1]);
    const QString target = QString::fromLocal8Bit(argv[2]);

    QFile file(source);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "manual_to_pdf: cannot read %s\n", argv[1]);
        return 1;
    }
    QTextDocument document;
    document.setBaseUrl(QUrl::fromLocalFile(QFileInfo(source).absolutePath() + QLatin1Char('/')));
    QFont font(QStringLiteral("DejaVu Sans"), kBodyPointSize);
    document.setDefaultFont(font);
    document.setMarkdown(QString::fromUtf8(file.readAll()));

    QDir().mkpath(QFileInfo(target).absolutePath());
    QPdfWriter writer(target);
    writer.setTitle(document.begin().text()); // the manual opens with its title
    writer.setCreator(QStringLiteral("manual_to_pdf"));
    const QPageSize a4(QPageSize::A4);
    writer.setPageLayout(QPageLayout(a4, QPageLayout::Portrait, QMarginsF()));
    const qreal textWidthMm = a4.size(QPageSize::Millimeter).width() - 2 * kPrintMarginMm;
    StyleDocument(document);
    if (!PreparePictures(document, kImageShare * textWidthMm / 25.4 * kLayoutDpi))
        return 1;
    document.print(&writer);
    return QFileInfo(target).size() > 0 ? 0 : 1;
}
