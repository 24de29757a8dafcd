#include "ui/common/PrintSurface.h"

#include "ui/common/Messages.h"

#include <QDate>
#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLocale>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>

namespace salvo::ui {

PainterSurface::PainterSurface(QPainter& painter, QPrinter& printer)
    : Painter(painter), Printer(printer) {}

DeviceMeasures PainterSurface::Measures() const {
    DeviceMeasures m;
    m.PrintableWidth = Printer.width();
    m.PrintableHeight = Printer.height();
    // Qt rounds its own millimetre measures to whole millimetres; the resolution gives them
    // exactly, so that the margins land where they should.
    if (Printer.logicalDpiX() > 0)
        m.PrintableWidthMm = m.PrintableWidth * 25.4 / Printer.logicalDpiX();
    if (Printer.logicalDpiY() > 0)
        m.PrintableHeightMm = m.PrintableHeight * 25.4 / Printer.logicalDpiY();
    const QRectF paper = Printer.paperRect(QPrinter::DevicePixel);
    const QRectF page = Printer.pageRect(QPrinter::DevicePixel);
    m.PaperWidth = qRound(paper.width());
    m.PaperHeight = qRound(paper.height());
    m.OffsetLeft = qRound(page.left() - paper.left());
    m.OffsetTop = qRound(page.top() - paper.top());
    m.DpiY = Printer.logicalDpiY();
    return m;
}

void PainterSurface::UseFont(const TextStyle& style) {
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(style.Points);
    font.setBold(style.Bold);
    font.setUnderline(style.Underline);
    Painter.setFont(font);
}

int PainterSurface::TextWidth(const QString& text, const TextStyle& style) {
    UseFont(style);
    return Painter.fontMetrics().horizontalAdvance(text);
}

int PainterSurface::TextHeight(const QString&, const TextStyle& style) {
    UseFont(style);
    return Painter.fontMetrics().height();
}

void PainterSurface::Text(int x, int y, const QString& text, const TextStyle& style) {
    UseFont(style);
    Painter.drawText(x, y + Painter.fontMetrics().ascent(), text);
}

void PainterSurface::SetPen(int width) {
    Painter.setPen(QPen(QBrush(Qt::black), width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
}

void PainterSurface::Line(int x1, int y1, int x2, int y2) {
    Painter.drawLine(x1, y1, x2, y2);
}

void PainterSurface::Rectangle(int x1, int y1, int x2, int y2) {
    Painter.setBrush(Qt::NoBrush);
    Painter.drawRect(QRectF(x1, y1, x2 - x1, y2 - y1));
}

QString PrintDate() {
    const QLocale locale;
    return locale.toString(QDate::currentDate(), locale.dateFormat(QLocale::ShortFormat));
}

namespace {

// Qt's PDF writer reports success even when its writes fail (a full disk): a file that does not
// end with the PDF trailer was not written whole.
bool PdfFileIsWhole(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 16 || !file.seek(file.size() - 16))
        return false;
    return file.read(16).trimmed().endsWith("%%EOF");
}

// The pages on the printer as it is set up; false when anything failed, the job then aborted.
bool Paint(const PageDrawing& draw, QPrinter& printer) {
    const auto failed = [&printer] {
        return printer.printerState() == QPrinter::Error ||
               printer.printerState() == QPrinter::Aborted;
    };
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    PainterSurface surface(painter, printer);
    bool ok = draw(surface, [&] { return printer.newPage() && !failed(); }) && !failed();
    if (!ok)
        printer.abort();
    return painter.end() && ok && !failed();
}

bool PrintedWhole(QPrinter& printer) {
    return printer.outputFormat() != QPrinter::PdfFormat ||
           PdfFileIsWhole(printer.outputFileName());
}

} // namespace

bool PrintPages(const PageDrawing& draw, const QString& jobName, QPrinter& printer, int copies,
                QWidget* parent) {
    printer.setCopyCount(copies);
    printer.setDocName(jobName);
    const bool ok = Paint(draw, printer) && PrintedWhole(printer);
    if (!ok)
        ShowInformation(parent, QStringLiteral("Erreur d'impression"));
    return ok;
}

bool PreviewPages(const PageDrawing& draw, const QString& jobName, QPrinter& printer,
                  QWidget* parent) {
    printer.setDocName(jobName);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setObjectName(QStringLiteral("PrintPreview"));
    // Large enough to read the page without zooming.
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        dialog.resize(screen->availableSize() * 0.8);
    // The same pages for the preview and for the print the user may start from it.
    bool painted = false;
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&draw, &painted](QPrinter* target) { painted = Paint(draw, *target); });
    // The dialog is accepted only once it has printed.
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const bool ok = painted && PrintedWhole(printer);
    if (!ok)
        ShowInformation(parent, QStringLiteral("Erreur d'impression"));
    return ok;
}

} // namespace salvo::ui
