// Pictures of the two graph views after a batch by 1 to 5 virtual users of 3 requests, as they
// appear on an X server, written under the build folder, with checks that the chart is drawn and
// its labels are inside it.
#include "ScreenPictures.h"
#include "WebEngineTestMain.h"
#include "results/AddGraphicsFormView.h"
#include "results/ChartView.h"
#include "results/GraphicsFormView.h"
#include "results/ResultsContainer.h"

#include <QComboBox>
#include <QDir>
#include <QFontMetricsF>
#include <QImage>
#include <QSet>
#include <QtCharts/QChart>
#include <QtCharts/QLegend>
#include <QtCharts/QValueAxis>

#include <memory>

using namespace torvex;
using torvex::test::colourCount;

namespace {

// Times rise with the request, the iteration and the number of users, to about 400 ms: a y
// step of 10 that is too fine to label every step. The last run has errors.
ResultsRecord batchRun(int users) {
    auto r       = std::make_shared<CResultsStore>();
    r->userCount = users, r->iterationCount = 3, r->seqLength = 3;
    r->batchNumber = 1, r->batchValue = users, r->batchLabel = "Virtual users";
    r->requestsPerSec = 12.5f * users - users * users, r->requestsMade = 9 * users;
    r->errorCount = users == 5 ? 4 : 0, r->objectiveId = 1;
    r->serverBandwidth = 35.0 * users, r->userBandwidth = 35.0 - users;
    r->requestNames = {"/index.html", "/login", "/search?q=load"};
    r->timings.assign(users, std::vector<std::vector<std::int32_t>>(3));
    for (int user = 0; user < users; ++user)
        for (int k = 0; k < 3; ++k)
            for (int i = 1; i <= 4; ++i)
                r->timings[user][k].push_back(
                    i == 4 ? 0 : 40000 * (k + 1) + 50000 * users + 3000 * i + 1000 * user);
    return r;
}

// Shows the view at the main window's usual size for a view, checks the chart and saves it.
void shoot(CResizingFormView& view, const char* file) {
    view.resize(760, 560);
    view.move(40, 40);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QTest::qWait(200);
    const QImage shot = view.grab().toImage();
    QVERIFY(shot.save(QDir(TORVEX_SCREENSHOT_DIR).filePath(file)));
    QVERIFY(colourCount(shot) > 100);
    const auto* chart = view.findChild<CChartView*>("chart");
    QVERIFY(chart && chart->isVisible());
    // Plot, legend and title all inside the chart, the legend below the plot.
    const QRectF plot   = chart->chart()->plotArea();
    const QRectF legend = chart->chart()->legend()->geometry();
    QVERIFY(QRectF(chart->rect()).contains(plot.united(legend)));
    QVERIFY(legend.top() >= plot.bottom());
    QVERIFY(plot.height() > 200 && plot.width() > 500);
    // Labelled ticks at least a line of text apart: none elided to "...".
    for (QAbstractAxis* axis : chart->chart()->axes(Qt::Vertical)) {
        const auto* y = qobject_cast<QValueAxis*>(axis);
        if (y->labelsVisible())
            QVERIFY(y->tickInterval() * plot.height() / (y->max() - y->min()) >
                    QFontMetricsF(y->labelsFont()).height());
    }
}

} // namespace

class GraphsScreenshotTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(QDir().mkpath(TORVEX_SCREENSHOT_DIR)); }

    void graphsView() {
        CResultsContainer results;
        for (int users = 1; users <= 5; ++users) results.Add(batchRun(users));
        CGraphicsFormView view(results);
        view.RefreshView();
        view.findChild<QComboBox*>("requests")->setCurrentIndex(1);
        shoot(view, "graphs-view.png");
    }

    void batchGraphsView() {
        CResultsContainer results;
        for (int users = 1; users <= 5; ++users) results.Add(batchRun(users));
        CAddGraphicsFormView view(results);
        view.RefreshView();
        shoot(view, "batch-graphs-view.png");
    }
};

TORVEX_WEBENGINE_TEST_MAIN(GraphsScreenshotTest)
#include "GraphsScreenshotTest.moc"
