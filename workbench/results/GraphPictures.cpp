#include "results/GraphPictures.h"

#include "results/ChartView.h"

#include <QDir>
#include <QGraphicsLayout>
#include <QImage>
#include <QPixmap>
#include <QString>
#include <QtCharts/QChart>

#include <iterator>
#include <utility>

namespace torvex {
namespace {

constexpr int kPictureWidth  = 1000;
constexpr int kPictureHeight = 600;

// The batch graphs in the combo's order, as files sort and read in a folder listing.
const char* const kBatchFiles[] = {"batch-1-average-times.png", "batch-2-maximum-times.png",
                                   "batch-3-minimum-times.png", "batch-4-performance.png",
                                   "batch-5-errors.png",        "batch-6-bandwidth.png"};

bool isFileNameChar(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           c == u'-' || c == u'_';
}

// "request-NN-name.png": request names are URLs and titles, so anything but letters, digits,
// '-' and '_' becomes '_' to give a name every file system takes.
QString requestFileName(int request, const std::string& name) {
    QString reduced;
    for (const QChar c : QString::fromStdString(name)) reduced += isFileNameChar(c) ? c : u'_';
    if (reduced.isEmpty()) reduced = QStringLiteral("request");
    return QStringLiteral("request-%1-%2.png").arg(request + 1, 2, 10, QChar(u'0')).arg(reduced);
}

// Draws the chart the way the graph views do, at the picture's size, without showing a window.
bool writePicture(const GraphChart& chart, const QString& path) {
    CChartView view;
    view.resize(kPictureWidth, kPictureHeight);
    view.showChart(chart, true);
    // The first drawing lays the chart out and fits the axis labels to its plot area; the
    // labels' new spacing takes effect in the next layout, which a hidden view never gets.
    view.grab();
    view.chart()->layout()->activate();
    QImage image = view.grab().toImage();
    if (image.size() != QSize(kPictureWidth, kPictureHeight))
        image = image.scaled(kPictureWidth, kPictureHeight);
    return image.save(path, "PNG");
}

} // namespace

bool writeGraphPictures(const ResultsList& list, const std::string& folder,
                        std::vector<std::string>& written, std::string& error) {
    const QString directory = QString::fromStdString(folder);
    if (!QDir().mkpath(directory)) {
        error = QStringLiteral("Cannot create directory %1").arg(directory).toStdString();
        return false;
    }

    std::vector<std::pair<QString, GraphChart>> pictures;
    if (hasRequestGraphs(list)) {
        const std::vector<std::string>& names = list.front()->requestNames;
        for (int request = 0; request < static_cast<int>(names.size()); ++request)
            pictures.emplace_back(requestFileName(request, names[request]),
                                  requestTimesChart(list, request));
    }
    if (hasBatchGraphs(list)) {
        for (int graph = 0; graph < static_cast<int>(std::size(kBatchFiles)); ++graph)
            pictures.emplace_back(QString::fromLatin1(kBatchFiles[graph]),
                                  batchGraphChart(list, graph));
    }

    for (const auto& [file, chart] : pictures) {
        const QString path = QDir(directory).filePath(file);
        if (!writePicture(chart, path)) {
            error = QStringLiteral("Cannot write %1").arg(path).toStdString();
            return false;
        }
        written.push_back(path.toStdString());
    }
    return true;
}

} // namespace torvex
