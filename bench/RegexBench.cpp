// CRegex against PCRE2's interpreter (no JIT) on a ~100 KiB HTML response, with the patterns test
// scripts typically use on responses. The items searched for sit near the end of the page, so a
// match has to scan most of it. See README.md for how to run it and the last measurements.

#define PCRE2_CODE_UNIT_WIDTH 8
#include "regex/Regex.h"

#include <benchmark/benchmark.h>
#include <pcre2.h>

#include <cstdint>
#include <random>
#include <string>

namespace {

// A shop's order page: head with an inline script, navigation, a search form, a long product
// table, text, then near the end the order summary with the price cell, the checkout link, the
// form with the view state and the logout link carrying the session id.
std::string makePage() {
    std::mt19937 rng(4711);
    auto number = [&](int below) { return std::to_string(rng() % unsigned(below)); };
    std::string page;
    page.reserve(110 * 1024);
    page += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
            "<title>Order overview - Example Shop</title>\n"
            "<link rel=\"stylesheet\" href=\"/static/css/shop.css?v=31\">\n<script>\n";
    for (int i = 0; i < 40; ++i)
        page += "  window.shop.track('view', {item: " + number(100000) + ", list: 'catalogue', " +
                "position: " + std::to_string(i) + "});\n";
    page += "</script>\n</head>\n<body class=\"order\">\n<nav id=\"top\">\n<ul>\n";
    for (int i = 0; i < 60; ++i)
        page += "<li><a href=\"/category/" + number(900) + "?page=" + number(9) +
                "\" title=\"Category " + std::to_string(i) + "\">Category " + std::to_string(i) +
                "</a></li>\n";
    page += "</ul>\n</nav>\n<form id=\"search\" action=\"/search\" method=\"get\">\n"
            "<input type=\"text\" name=\"q\" value=\"\">\n"
            "<input type=\"hidden\" name=\"page\" value=\"1\">\n"
            "<input type=\"submit\" value=\"Search\">\n</form>\n"
            "<table class=\"products\">\n<tr><th>Product</th><th>Qty</th><th>Unit</th></tr>\n";
    for (int i = 0; page.size() < 98 * 1024; ++i) {
        std::string id = number(100000);
        page += "<tr class=\"" + std::string(i % 2 ? "odd" : "even") +
                "\"><td class=\"name\"><a href=\"/product/" + id + "?ref=list\">Product " + id +
                "</a></td><td class=\"qty\">" + number(10) + "</td><td class=\"unit\">" +
                number(500) + "." + number(90) + " EUR</td></tr>\n";
        if (i % 40 == 39)
            page +=
                "</table>\n<p>Prices include VAT. Delivery within " + number(9) +
                " working days; items marked as reserved are held for you for 30 minutes. "
                "Check out our weekly offers; our service team answers by phone and e-mail.</p>\n"
                "<table class=\"products\">\n";
    }
    page += "</table>\n<table class=\"summary\">\n"
            "<tr><td class=\"label\">Total</td><td class=\"price\">1234.56 EUR</td></tr>\n"
            "</table>\n<p><a class=\"button\" href=\"/Cart/CheckOut\">Proceed to CHECKOUT</a></p>\n"
            "<form id=\"order\" action=\"/order/confirm\" method=\"post\">\n"
            "<input type=\"hidden\" name=\"__EVENTTARGET\" value=\"\">\n"
            "<input type=\"hidden\" name=\"__VIEWSTATE\" value=\"";
    for (int i = 0; i < 300; ++i)
        page += "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"[rng() % 64];
    page += "=\">\n<input type=\"submit\" value=\"Confirm\">\n</form>\n"
            "<footer><a href=\"/account\">Account</a> | "
            "<a href=\"/logout?sid=8f3a6c21d9e04b7a\">Log out</a></footer>\n</body>\n</html>\n";
    return page;
}

const std::string& page() {
    static const std::string text = makePage();
    return text;
}

struct Case {
    const char* name;
    const char* pattern; // the same text for both: '/' is written as "\/" (fine for PCRE2 too)
    const char* flags;
    bool matches;
};

const Case kCases[] = {
    {"SessionId", R"re(sid=(\w+))re", "", true},
    {"HiddenInput", R"re(<input type="hidden" name="__VIEWSTATE" value="([^"]*)")re", "", true},
    {"CaselessWord", R"re(checkout)re", "i", true},
    {"LazyPriceCell", R"re(<td class="price">(.*?)<\/td>)re", "", true},
    {"NoMatch", R"re(wishlist)re", "", false},
};

// A case compiled for PCRE2's interpreter, with its match data made once.
class Pcre2Pattern {
public:
    explicit Pcre2Pattern(const Case& c) {
        context_ = pcre2_compile_context_create(nullptr);
        pcre2_set_newline(context_, PCRE2_NEWLINE_ANYCRLF); // '.' excludes CR and LF, like ours
        int error;
        PCRE2_SIZE offset;
        const bool caseless = std::string(c.flags).find('i') != std::string::npos;
        code_ = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(c.pattern), PCRE2_ZERO_TERMINATED,
                              caseless ? PCRE2_CASELESS : 0, &error, &offset, context_);
        if (code_) data_ = pcre2_match_data_create_from_pattern(code_, nullptr);
    }
    ~Pcre2Pattern() {
        pcre2_match_data_free(data_);
        pcre2_code_free(code_);
        pcre2_compile_context_free(context_);
    }

    bool compiled() const { return code_ != nullptr; }
    int match() const {
        return pcre2_match(code_, reinterpret_cast<PCRE2_SPTR>(page().data()), page().size(), 0, 0,
                           data_, nullptr);
    }
    // Pair k of the last match, or -1.
    int offset(int k) const { return int(pcre2_get_ovector_pointer(data_)[k]); }

private:
    pcre2_compile_context* context_ = nullptr;
    pcre2_code* code_               = nullptr;
    pcre2_match_data* data_         = nullptr;
};

void torvexCase(benchmark::State& state, const Case& c) {
    torvex::CRegex re;
    // The engine's callers always add 'o' (start-character optimisation).
    if (!re.compile(std::string("/") + c.pattern + "/" + c.flags + "o")) {
        state.SkipWithError("CRegex does not compile the pattern");
        return;
    }
    // Before timing: the same offsets as PCRE2 (every case has at most one group, always set).
    int pairs[20], count = 10;
    Pcre2Pattern reference(c);
    const int rc = reference.match();
    bool same    = re.match(page().c_str(), pairs, count) == (rc > 0);
    for (int k = 0; same && k < 2 * rc; ++k) same = pairs[k] == reference.offset(k);
    if (!same) {
        state.SkipWithError("CRegex and PCRE2 disagree");
        return;
    }
    for (auto _ : state) {
        count = 10;
        benchmark::DoNotOptimize(re.match(page().c_str(), pairs, count));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(page().size()));
}

void pcre2Case(benchmark::State& state, const Case& c) {
    const Pcre2Pattern pattern(c);
    if (!pattern.compiled()) {
        state.SkipWithError("PCRE2 does not compile the pattern");
        return;
    }
    if ((pattern.match() > 0) != c.matches) {
        state.SkipWithError("PCRE2 does not find what the page was built to contain");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(pattern.match());
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(page().size()));
}

} // namespace

int main(int argc, char** argv) {
    for (const Case& c : kCases) {
        benchmark::RegisterBenchmark(("BM_Torvex_" + std::string(c.name)).c_str(), torvexCase, c);
        benchmark::RegisterBenchmark(("BM_Pcre2_" + std::string(c.name)).c_str(), pcre2Case, c);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
