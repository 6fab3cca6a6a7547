// torvex-make-shop-scenario: writes the example scenario of the demo shop, a .tvs file that the
// workbench opens and `torvex-run FILE.tvs` runs. It is the visit of demo/shop.tvt built the way
// the workbench builds scenarios, so read it as a worked example of what a scenario holds:
//
//   - requests, each with a method, a server, an address and parameters whose values are made of
//     components (plain text or a function such as a random number or a form's hidden field);
//   - the general section: how every virtual user speaks HTTP (keep-alive, user agent);
//   - the run section: how many users and iterations, which requests run once before, in every
//     iteration and once after, the batch of runs, and what is saved (reports, timings).
//
// What a scenario cannot hold: response checks ($fail in a test script). The sign-in form served
// instead of the account page still counts as a success here; HTTP and network errors count.

#include "model/ReqParam.h"
#include "model/ReqParamFunction.h"
#include "model/Request.h"
#include "model/Scenario.h"
#include "model/ScenarioFile.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using torvex::CReqParam;
using torvex::CReqParamFunction;
using torvex::CRequest;
using torvex::CScenario;

// ---- Parameter values ---------------------------------------------------------------------------
// Each helper makes one component, as the workbench's parameter editor does for one row.

// Text sent as it stands ("demo").
CReqParamFunction text(const std::string& value) {
    CReqParamFunction component; // static text is the default kind
    component.setText(value);
    return component;
}

// The value of a form field of the previous response: $Hidden(field).
CReqParamFunction formField(const std::string& field) {
    CReqParamFunction component;
    component.setKind(CReqParamFunction::kHidden);
    component.setText(field);
    return component;
}

// The virtual user's number after a prefix: $clid(shopper) gives shopper0, shopper1, ...
CReqParamFunction userNumber(const std::string& prefix) {
    CReqParamFunction component;
    component.setKind(CReqParamFunction::kUserNumber);
    component.setText(prefix);
    return component;
}

// A random number from `from` to `to` - 1: $NRand(from,to).
CReqParamFunction randomNumber(std::uint32_t from, std::uint32_t to) {
    CReqParamFunction component;
    component.setKind(CReqParamFunction::kNumeric);
    component.setFrom(from);
    component.setTo(to);
    return component;
}

// The items in turn, each user on its own: $List(1,2,3). The editor takes one item per line.
CReqParamFunction inTurn(const std::string& linesOfItems) {
    CReqParamFunction component;
    component.setKind(CReqParamFunction::kOrderedList);
    component.setListText(linesOfItems);
    return component;
}

// A parameter of one component. Its static texts are URL-encoded in the test script, as for a
// parameter typed into the editor.
CReqParam param(const std::string& name, CReqParamFunction value) {
    CReqParam parameter;
    parameter.setNameAndEncode(name, true);
    parameter.components = {std::move(value)};
    return parameter;
}

// ---- Requests -----------------------------------------------------------------------------------

// Appends a request to the scenario. `server` is "host:port"; the address may also be a function
// of the previous response ($href(link text), $action) instead of a path.
CRequest& addRequest(CScenario& scenario, const std::string& server, const std::string& name,
                     CRequest::Method method, const std::string& uri,
                     std::vector<CReqParam> params = {}) {
    auto request    = std::make_unique<CRequest>();
    request->name   = name; // the name the sequences and the report use
    request->method = method;
    request->server = server;
    request->scheme = CRequest::kHttp;
    request->uri    = uri;
    // A recorded form post carries its content type; GET requests have none.
    if (method == CRequest::kPost) request->contentType = "application/x-www-form-urlencoded";
    request->params = std::move(params);
    return scenario.requests.append(std::move(request));
}

// A think time after the request, a random whole number of seconds from min to max: a person
// reading the page. With soft delays (always on for scenarios) it spaces the starts of requests.
void thinkTime(CRequest& request, int minSeconds, int maxSeconds) {
    request.useDelay = 1;
    request.delayMin = minSeconds;
    request.delayMax = maxSeconds;
}

void addShopRequests(CScenario& scenario, const std::string& server) {
    using enum CRequest::Method;
    // Signing in: the form first, because it carries a fresh one-time token that the post must
    // send back; the shop then redirects to the account page, which Torvex follows.
    addRequest(scenario, server, "sign_in_form", kGet, "/login");
    CRequest& signIn =
        addRequest(scenario, server, "sign_in", kPost, "/login",
                   {param("token", formField("token")), param("user", userNumber("shopper")),
                    param("password", text("demo"))});
    thinkTime(signIn, 0, 1);

    // Browsing: the home page, the product behind its "Blue mug" link, that product's "Add to
    // cart" form (posted to the form's own address), the catalog pages in turn, a random product
    // of the twelve, the cart, the account, and a page that takes the shop 300 ms.
    thinkTime(addRequest(scenario, server, "home", kGet, "/"), 0, 1);
    addRequest(scenario, server, "featured_product", kGet, "$href(Blue mug)");
    addRequest(scenario, server, "add_to_cart", kPost, "$action",
               {param("id", formField("id")), param("qty", randomNumber(1, 4))});
    thinkTime(addRequest(scenario, server, "catalog", kGet, "/catalog",
                         {param("page", inTurn("1\r\n2\r\n3"))}),
              0, 1);
    addRequest(scenario, server, "product", kGet, "/product",
               {param("id", randomNumber(1, 13)), param("ref", text("catalog"))});
    addRequest(scenario, server, "cart", kGet, "/cart");
    addRequest(scenario, server, "account", kGet, "/account");
    addRequest(scenario, server, "deals", kGet, "/slow", {param("ms", text("300"))});

    addRequest(scenario, server, "sign_out", kGet, "/logout");
}

// ---- How every user speaks HTTP -----------------------------------------------------------------

void setGeneral(torvex::CGeneralSection& general) {
    general.keepAlive       = 1; // keep connections open between requests, as browsers do
    general.customUserAgent = 1;
    general.userAgent       = "Torvex demo scenario";
    // Errors are counted but do not end the user's iteration (the default).
    general.ignoreErrors = 1;
}

// ---- The runs -----------------------------------------------------------------------------------

void setRun(torvex::CRunSection& run, const std::string& reportDir) {
    // Each user signs in once, runs the browsing list once per iteration, and signs out at the end.
    run.initialSeqOn = 1;
    run.initialSeq   = {"sign_in_form", "sign_in"};
    run.finalSeqOn   = 1;
    run.finalSeq     = {"sign_out"};
    run.mainSeqOn    = 1;
    // One iteration, by the requests' names; a request may come more than once.
    run.mainSeq = {"home", "featured_product", "add_to_cart", "catalog", "product",
                   "cart", "account",          "deals"};

    // A batch by users: runs with 5, 10 and 15 virtual users, 3 iterations each, and a second's
    // pause between runs so the shop settles. Each run's report shows how the load changes things.
    run.users            = 5;
    run.iterations       = 3;
    run.batchRun         = 1;
    run.batchBy          = 0; // users; 1 steps the iterations instead
    run.batchFrom        = 5;
    run.batchTo          = 15;
    run.batchStep        = 5;
    run.pauseBetweenRuns = 1;
    run.pauseSeconds     = 1;
    // Start a user every 50 ms instead of all at once: a gentle ramp-up.
    run.staggerStart = 1;
    run.staggerMs    = 50;

    // Every request's duration is kept with the results; each run's report is saved as
    // <scenario file name>-<users>x<iterations>.xls in the report folder.
    run.saveTimings       = 1;
    run.timingsKind       = 0; // durations; 1 adds time stamps
    run.saveReports       = 1;
    run.reportDir         = reportDir;
    run.reportNamePattern = "%n-%cx%r.xls";
    run.comment           = "Demo shop: sign in, browse, add to the cart";
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Writes the example scenario of the Torvex demo shop (a .tvs file).",
                 "torvex-make-shop-scenario"};
    std::string server = "127.0.0.1:8090";
    std::string reportDir;
    std::string out;
    app.add_option("--server", server, "The demo shop's host:port")->capture_default_str();
    app.add_option("--report-dir", reportDir,
                   "Folder for the runs' reports (default: the workbench's reports folder)");
    app.add_option("--out", out, "The scenario file to write")->required();
    CLI11_PARSE(app, argc, argv);

    CScenario scenario; // a fresh scenario holds the workbench's defaults
    addShopRequests(scenario, server);
    setGeneral(scenario.general);
    setRun(scenario.run, reportDir.empty() ? scenario.run.reportDir : reportDir);

    std::string error;
    if (!torvex::saveScenarioFile(scenario, out, error)) {
        std::fprintf(stderr, "torvex-make-shop-scenario: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
