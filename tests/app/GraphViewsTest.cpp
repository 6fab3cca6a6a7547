// The graph views over a real results list: "No results" until there is something to draw, the
// combos and their selection across refreshes, redrawing only for a new run, the chart drawn as
// the graph model says, the hint, the point tooltip, and the graph pictures.
#include "WebEngineTestMain.h"
#include "results/AddGraphicsFormView.h"
#include "results/ChartView.h"
#include "results/GraphPictures.h"
#include "results/GraphicsFormView.h"
#include "results/ObjectiveHints.h"
#include "results/ResultsContainer.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSet>
#include <QTemporaryDir>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <cmath>
#include <limits>
#include <memory>

using namespace torvex;

namespace {

const std::vector<std::string> kRequests = {"/index.html", "", "/search?q=a b"};

// 3 iterations of the requests; a time rises with the request, iteration, users and user.
// `batch` 0 makes a single run.
ResultsRecord run(int users, int batch = 1, std::vector<std::string> names = kRequests) {
    auto r       = std::make_shared<CResultsStore>();
    r->userCount = users, r->iterationCount = 3, r->seqLength = int(names.size());
    r->batchNumber = batch, r->batchValue = users, r->batchLabel = "Virtual users";
    r->requestsPerSec = 10.0f * users, r->requestsMade = 9 * users, r->errorCount = users - 1;
    r->serverBandwidth = 40.0 * users, r->userBandwidth = 40.0, r->objectiveId = 1;
    r->timings.assign(users, std::vector<std::vector<std::int32_t>>(names.size()));
    for (int user = 0; user < users; ++user)
        for (int k = 0; k < r->seqLength; ++k)
            r->timings[user][k] = {1000 * (k + 1) + 300 * users + 50 * user,
                                   2000 * (k + 1) + 300 * users, 3000 * (k + 1), 0};
    r->requestNames = std::move(names);
    return r;
}

template <typename View> struct Shown {
    CResultsContainer results;
    View view{results};
    QComboBox* combo() const { return view.template findChild<QComboBox*>(); }
    CChartView* chart() const { return view.template findChild<CChartView*>("chart"); }
    QPlainTextEdit* hint() const { return view.template findChild<QPlainTextEdit*>("hint"); }
    bool showsNoResults() const {
        const auto* label = view.template findChild<QLabel*>("noResults");
        return label->text() == "No results" && !label->isHidden() && chart()->isHidden() &&
               !combo()->isEnabled();
    }
    void add(int firstUsers, int lastUsers) {
        for (int users = firstUsers; users <= lastUsers; ++users) results.Add(run(users));
    }
};

QStringList itemsOf(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    return items;
}

QString hintOf(int objective) {
    return QString::fromStdString(GetObjectiveResultsText(objective)).replace("\r\n", "\n");
}

// The chart the view holds reads back as the model's chart.
void expectDrawn(const CChartView& view, const GraphChart& model) {
    const QChart* chart = view.chart();
    QCOMPARE(chart->title(), QString::fromStdString(model.caption));
    // One axis carries the step (ticks and grid), the other the title and the labels.
    for (const auto& [along, axis] :
         {std::pair{Qt::Horizontal, &model.x}, {Qt::Vertical, &model.y}}) {
        const QList<QAbstractAxis*> axes = chart->axes(along);
        QCOMPARE(axes.size(), 2);
        const bool labelsFirst = axes[0]->labelsVisible();
        auto* steps            = qobject_cast<QValueAxis*>(axes[labelsFirst ? 1 : 0]);
        auto* labels           = qobject_cast<QValueAxis*>(axes[labelsFirst ? 0 : 1]);
        QVERIFY(labels->labelsVisible() && !steps->labelsVisible() && steps->isGridLineVisible());
        QCOMPARE(labels->titleText(), QString::fromStdString(axis->title));
        QCOMPARE(labels->labelFormat(), QString::fromStdString(axis->labelFormat));
        for (QValueAxis* drawn : {steps, labels}) {
            QCOMPARE(QPointF(drawn->min(), drawn->max()), QPointF(axis->minimum, axis->maximum));
            QCOMPARE(drawn->tickType(), QValueAxis::TicksDynamic);
            QCOMPARE(drawn->tickAnchor(), axis->minimum);
        }
        QCOMPARE(steps->tickInterval(), axis->step);
        const double every = labels->tickInterval() / axis->step; // labels fall on steps
        QVERIFY(every >= 1 && std::abs(every - std::round(every)) < 1e-9);
    }
    QCOMPARE(chart->series().size(), qsizetype(model.series.size()));
    for (std::size_t s = 0; s < model.series.size(); ++s) {
        const auto* line     = qobject_cast<QLineSeries*>(chart->series()[qsizetype(s)]);
        const GraphColour& c = model.series[s].colour;
        QCOMPARE(line->name(), QString::fromStdString(model.series[s].name));
        QCOMPARE(line->color(), QColor(c.red, c.green, c.blue));
        QVERIFY(line->pointsVisible());
        QCOMPARE(line->count(), int(model.series[s].points.size()));
        for (int p = 0; p < line->count(); ++p)
            QCOMPARE(line->at(p),
                     QPointF(model.series[s].points[p].x, model.series[s].points[p].y));
    }
}

} // namespace

class GraphViewsTest : public QObject {
    Q_OBJECT

private slots:
    // Empty list, a first record without requests, and a single run for the batch view.
    void noResultsUntilThereIsSomethingToDraw() {
        Shown<CGraphicsFormView> graphs;
        Shown<CAddGraphicsFormView> batch;
        const auto refreshedWith = [&](ResultsRecord record) {
            for (auto* results : {&graphs.results, &batch.results}) {
                results->Clear();
                if (record) results->Add(record);
            }
            graphs.view.RefreshView();
            batch.view.RefreshView();
        };
        refreshedWith(nullptr);
        QVERIFY(graphs.showsNoResults() && batch.showsNoResults());
        refreshedWith(run(2, 1, {})); // a batch without requests still has its other graphs
        QVERIFY(graphs.showsNoResults() && !batch.showsNoResults());
        refreshedWith(run(2, 0));
        QVERIFY(!graphs.showsNoResults() && batch.showsNoResults());
        QCOMPARE(itemsOf(graphs.combo()), QStringList({"/index.html", "", "/search?q=a b"}));
        QCOMPARE(graphs.combo()->itemData(2).toInt(), 2);
        QCOMPARE(graphs.combo()->objectName(), QString("requests"));
    }

    // An unnamed request is not taken for "nothing chosen yet"; the hint keeps its selection.
    void requestChoiceSurvivesRefreshesAndOnlyANewRunRedraws() {
        Shown<CGraphicsFormView> t;
        t.add(1, 5);
        t.view.RefreshView();
        QCOMPARE(t.combo()->currentIndex(), 0);
        QCOMPARE(t.chart()->drawCount(), 1);
        t.combo()->setCurrentIndex(2);
        t.view.RefreshView(); // same last run: nothing to rebuild
        QCOMPARE(t.chart()->drawCount(), 2);
        t.add(6, 6);
        QTextCursor cursor = t.hint()->textCursor();
        cursor.setPosition(5);
        cursor.setPosition(20, QTextCursor::KeepAnchor);
        t.hint()->setTextCursor(cursor);
        t.hint()->verticalScrollBar()->setValue(1);
        t.view.RefreshView();
        QCOMPARE(t.chart()->drawCount(), 3);
        QCOMPARE(t.combo()->currentIndex(), 2);
        QCOMPARE(t.view.drawnRunId(), t.results.GetAt(5)->runId);
        expectDrawn(*t.chart(), requestTimesChart(t.results.GetAll(), 2));

        t.results.Clear();
        t.view.RefreshView();
        QVERIFY(t.showsNoResults());
        ResultsRecord other = run(3, 0, {"/a", "/b"}); // the chosen name is gone
        other->objectiveId  = 0;
        t.results.Add(other);
        t.view.RefreshView();
        QCOMPARE(t.combo()->currentText(), QString("/a"));
        QCOMPARE(t.hint()->toPlainText(), hintOf(0));
        QCOMPARE(t.hint()->textCursor().anchor(), 5);
        QCOMPARE(t.hint()->textCursor().position(), 20);
        QCOMPARE(t.hint()->verticalScrollBar()->value(), 1);

        t.view.ResetView();
        QVERIFY(t.showsNoResults());
        QCOMPARE(t.combo()->count(), 0);
        QCOMPARE(t.view.drawnRunId(), 0);
        t.view.RefreshView(); // the same run is drawn again after a reset
        QCOMPARE(t.chart()->drawCount(), 5);
        QVERIFY(!t.chart()->isHidden());
    }

    void batchViewKeepsTheChosenGraphAndDrawsItAsTheModelSays() {
        Shown<CAddGraphicsFormView> t;
        t.add(1, 4);
        t.view.RefreshView();
        QCOMPARE(t.combo()->objectName(), QString("graphs"));
        QCOMPARE(itemsOf(t.combo()),
                 QStringList({"Average request processing time", "Maximum request processing time",
                              "Minimum request processing time", "Overall performance", "Errors",
                              "Average bandwidth"}));
        QCOMPARE(t.hint()->toPlainText(), hintOf(1));
        t.combo()->setCurrentText("Errors");
        t.add(5, 5);
        t.view.RefreshView();
        QCOMPARE(t.combo()->currentText(), QString("Errors"));
        const ResultsList list = t.results.GetAll();
        for (int graph = 0; graph < 6; ++graph) {
            t.combo()->setCurrentIndex(graph);
            expectDrawn(*t.chart(), batchGraphChart(list, graph));
        }
        QCOMPARE(t.chart()->chart()->title(), QString("Number of iterations = 3"));
    }

    void labelsFitAndTheTooltipNamesThePointUnderTheMouse() {
        CChartView view;
        view.resize(600, 400);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const GraphChart model = requestTimesChart({run(2, 0)}, 1);
        view.showChart(model);
        QCoreApplication::processEvents();
        auto* avg               = qobject_cast<QLineSeries*>(view.chart()->series()[1]);
        const GraphPoint second = model.series[1].points[1];
        emit avg->hovered(QPointF(second.x + 0.1, second.y), true);
        QCOMPARE(view.hoverText(), QString::fromStdString(pointTooltip(second)));
        emit avg->hovered(QPointF(second.x, second.y), false);
        QVERIFY(view.hoverText().isEmpty());

        // A label at every step while they fit, every few steps where 41 crowd 400 pixels; the
        // grid moves to the labelled ticks where 101 steps would grey the plot.
        const auto axisOf = [&](Qt::Orientation along, bool labelled) {
            for (QAbstractAxis* axis : view.chart()->axes(along))
                if (axis->labelsVisible() == labelled) return qobject_cast<QValueAxis*>(axis);
            return static_cast<QValueAxis*>(nullptr);
        };
        QCOMPARE(axisOf(Qt::Horizontal, true)->tickInterval(), 1.0);
        for (const auto& [top, step] : {std::pair{410.0, 10.0}, {101000.0, 1000.0}}) {
            GraphChart crowded = model;
            crowded.y.maximum = top, crowded.y.step = step;
            view.showChart(crowded);
            QCoreApplication::processEvents();
            QVERIFY(axisOf(Qt::Vertical, true)->tickInterval() >= 2 * step);
            QCOMPARE(axisOf(Qt::Vertical, false)->isGridLineVisible(), step == 10);
            QCOMPARE(axisOf(Qt::Vertical, true)->isGridLineVisible(), step == 1000);
        }

        // A huge range (1 GB/s of bandwidth by 1000, a damaged file's batch values) draws a
        // bounded number of ticks on a multiple of the step, and values out of any range are
        // left out rather than hanging the layout.
        GraphChart huge = model;
        huge.y.maximum = 3e9, huge.y.step = 1000;
        huge.x.minimum = -100000, huge.x.maximum = 50, huge.x.step = 1;
        huge.series[0].points.push_back({1, std::numeric_limits<double>::infinity()});
        view.showChart(huge);
        QCoreApplication::processEvents();
        for (const auto along : {Qt::Vertical, Qt::Horizontal}) {
            QValueAxis* steps = axisOf(along, false);
            QVERIFY((steps->max() - steps->min()) / steps->tickInterval() <= 200);
        }
        QCOMPARE(qobject_cast<QLineSeries*>(view.chart()->series()[0])->count(),
                 int(model.series[0].points.size()));
    }

    void picturesOfEveryGraphAndMessagesWhenTheyCannotBeWritten() {
        QTemporaryDir temporary;
        const QDir folder(temporary.filePath("pictures/of/batch"));
        ResultsList list;
        for (int users = 1; users <= 5; ++users) list.push_back(run(users));
        std::vector<std::string> written;
        std::string error;
        QVERIFY(writeGraphPictures(list, folder.path().toStdString(), written, error));
        const QStringList files = {"request-01-_index_html.png",   "request-02-request.png",
                                   "request-03-_search_q_a_b.png", "batch-1-average-times.png",
                                   "batch-2-maximum-times.png",    "batch-3-minimum-times.png",
                                   "batch-4-performance.png",      "batch-5-errors.png",
                                   "batch-6-bandwidth.png"};
        QCOMPARE(int(written.size()), files.size());
        for (int i = 0; i < files.size(); ++i) {
            QCOMPARE(QString::fromStdString(written[std::size_t(i)]), folder.filePath(files[i]));
            const QImage image(folder.filePath(files[i]), "PNG");
            QCOMPARE(image.size(), QSize(1000, 600));
            QSet<QRgb> colours;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    colours.insert(image.pixel(x, y) & 0xffffff);
            // Drawn, not blank; the "Max" series or the first per-request / "Values" series.
            QVERIFY2(colours.size() > 50, qPrintable(files[i]));
            QVERIFY2(colours.contains(i < 3   ? 0xfa0000
                                      : i < 6 ? 0xff0000
                                              : 0x0000ff),
                     qPrintable(files[i]));
        }

        written.clear(); // a single run has its request graphs only
        QVERIFY(writeGraphPictures({run(2, 0)}, temporary.filePath("one").toStdString(), written,
                                   error));
        QCOMPARE(written.size(), std::size_t(3));
        // A file where the folder should be; a folder where a picture should be.
        QVERIFY(QFile(temporary.filePath("plain")).open(QIODevice::WriteOnly));
        const QString under = temporary.filePath("plain/x");
        QVERIFY(!writeGraphPictures(list, under.toStdString(), written, error));
        QCOMPARE(QString::fromStdString(error), "Cannot create directory " + under);
        const QString taken = temporary.filePath("taken/request-01-_index_html.png");
        QVERIFY(QDir().mkpath(taken));
        QVERIFY(
            !writeGraphPictures(list, temporary.filePath("taken").toStdString(), written, error));
        QCOMPARE(QString::fromStdString(error), "Cannot write " + taken);
    }
};

TORVEX_WEBENGINE_TEST_MAIN(GraphViewsTest)
#include "GraphViewsTest.moc"
