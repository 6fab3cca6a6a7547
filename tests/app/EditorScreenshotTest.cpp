// A picture of the Editor on an X server: a recorded scenario (pages, a form post over HTTPS,
// parameters) in the request list, the selected request's options and the scenario's options,
// with checks that the list and the fields were really drawn.
#include "ScreenPictures.h"
#include "WebEngineTestMain.h"
#include "editor/EditorFormView.h"
#include "model/CapturedRequest.h"
#include "model/Document.h"

#include <QDir>
#include <QGuiApplication>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QScreen>
#include <QSet>
#include <QTreeWidget>

using namespace torvex;
using torvex::test::colourCount;
using torvex::test::grab;

namespace {

// Rows of the picture that are not one flat colour: a drawn row of a list has text on it.
int rowsWithInk(const QImage& image, int top, int bottom) {
    int inked = 0;
    for (int y = std::max(0, top); y < std::min(bottom, image.height()); ++y) {
        QSet<QRgb> colours;
        for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y));
        if (colours.size() > 2) ++inked;
    }
    return inked;
}

CCapturedRequest capture(int method, int scheme, const std::string& url, int delay,
                         std::vector<CCapturedParam> pairs = {}) {
    CCapturedRequest each;
    each.method = method;
    each.scheme = scheme;
    each.uri    = url;
    each.delay  = delay;
    each.pairs  = std::move(pairs);
    return each;
}

} // namespace

class EditorScreenshotTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(QGuiApplication::platformName() == "xcb", "run under xvfb-run");
        QVERIFY(QDir().mkpath(TORVEX_SCREENSHOT_DIR));
    }

    void editorWithARecordedScenario() {
        CHexmillLEDoc document;
        document.reinitialize();
        CRequestsContainer& requests = document.scenario().requests;
        requests.AddCapturedRequest(capture(1, 1, "http://shop.example:8080/", 0));
        requests.AddCapturedRequest(
            capture(1, 1, "http://shop.example:8080/catalog/list.asp", 4,
                    {{"category", "books"}, {"page", "2"}, {"sort", "price%20asc"}}));
        requests.AddCapturedRequest(capture(1, 1, "http://shop.example:8080/cart", 7));
        requests.AddCapturedRequest(capture(2, 2, "https://shop.example/account/login", 12,
                                            {{"user", "ann+lee"}, {"pw", "%41%42"}}));
        requests.AddCapturedRequest(
            capture(1, 2, "https://shop.example/account/orders", 3, {{"year", "2024"}}));
        CGeneralSection& general = document.scenario().general;
        general.useDelays        = 1;
        general.addForwardedFor  = 1;
        general.basicAuth        = 1;
        general.userName         = "tester";

        CEditorFormView view(document);
        view.resize(960, 640);
        view.move(40, 40);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        auto* list = view.findChild<QTreeWidget*>("requests");
        list->setCurrentItem(list->topLevelItem(3)); // the login post, with its parameters
        QTest::qWait(300);

        const QImage shown = grab(&view);
        QVERIFY(shown.save(TORVEX_SCREENSHOT_DIR "/editor-view.png"));
        QVERIFY(colourCount(shown) > 20);
        QCOMPARE(list->topLevelItemCount(), 5);
        QCOMPARE(list->topLevelItem(3)->text(1), QString("https://shop.example/account/login"));
        QCOMPARE(view.findChild<QLineEdit*>("requestName")->text(), list->topLevelItem(3)->text(0));

        // Every one of the five rows has text drawn on it, and so do both parameter rows.
        const QImage rows      = grab(list->viewport());
        const int rowHeight    = list->visualItemRect(list->topLevelItem(0)).height();
        const int lastRowBelow = list->visualItemRect(list->topLevelItem(4)).bottom();
        QVERIFY(rowHeight > 8);
        QVERIFY(lastRowBelow < rows.height());
        for (int row = 0; row < 5; ++row) {
            const QRect rect = list->visualItemRect(list->topLevelItem(row));
            QVERIFY2(rowsWithInk(rows, rect.top(), rect.bottom()) > rowHeight / 3,
                     qPrintable(QString("request row %1").arg(row)));
        }
        auto* parameters = view.findChild<QTreeWidget*>("parameters");
        QCOMPARE(parameters->topLevelItemCount(), 2);
        const QImage parameterRows = grab(parameters->viewport());
        const QRect second         = parameters->visualItemRect(parameters->topLevelItem(1));
        QVERIFY(second.bottom() < parameterRows.height());
        QVERIFY(rowsWithInk(parameterRows, second.top(), second.bottom()) > second.height() / 3);
        // The URL and Data columns share the width; nothing is cut off at the right.
        const QHeaderView* header = list->header();
        QCOMPARE(header->sectionSize(1), header->sectionSize(2));
        QVERIFY(header->length() <= list->viewport()->width());

        // At the main window's smallest size (less the navigation bar) every control still fits.
        const QSize smallest(615, 450);
        QVERIFY2(view.minimumSizeHint().width() <= smallest.width() &&
                     view.minimumSizeHint().height() <= smallest.height(),
                 qPrintable(QString("needs %1x%2")
                                .arg(view.minimumSizeHint().width())
                                .arg(view.minimumSizeHint().height())));
        view.resize(smallest);
        QTest::qWait(300);
        QVERIFY(grab(&view).save(TORVEX_SCREENSHOT_DIR "/editor-view-small.png"));
    }
};

TORVEX_WEBENGINE_TEST_MAIN(EditorScreenshotTest)
#include "EditorScreenshotTest.moc"
