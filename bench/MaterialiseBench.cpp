// Building request bodies: torvex::materialise on a loaded test script, once per simulated request,
// as a virtual user does before it sends each request. Besides the time it counts the heap
// allocations of each request (every operator new of the process is counted). See README.md for
// how to run it and the last measurements.

#include "api/TestSet.h"
#include "script/Materialiser.h"
#include "script/ScriptParser.h"
#include "script/UserScriptState.h"
#include "script/WorkingCopy.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <new>
#include <string>
#include <string_view>
#include <unistd.h>

// Counting replacements of the global allocation functions. The other forms of operator new and
// delete (array, nothrow) end up in these. They are not inlined, so that GCC does not see malloc()
// meet operator delete, or free() meet operator new, and warn of a mismatch.
namespace {
std::atomic<long long> allocations{0};
}

[[gnu::noinline]] void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

[[gnu::noinline]] void* operator new(std::size_t size, std::align_val_t align) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    std::size_t alignment = static_cast<std::size_t>(align);
    std::size_t rounded   = (size + alignment - 1) / alignment * alignment;
    if (void* p = std::aligned_alloc(alignment, rounded ? rounded : alignment)) return p;
    throw std::bad_alloc();
}

[[gnu::noinline]] void operator delete(void* p) noexcept {
    std::free(p);
}

[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

[[gnu::noinline]] void operator delete(void* p, std::align_val_t) noexcept {
    std::free(p);
}

[[gnu::noinline]] void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}

namespace {

// A previous response of about 3 KB: a shop's product list with links carrying "id" among other
// query parameters, and a form with the session id in a hidden field (entity-encoded, so $Hidden
// decodes and URL-encodes it).
std::string makeResponse() {
    std::string page = "<html><head><title>Products</title></head><body>\n<div id=\"list\">\n";
    for (int i = 0; i < 40; ++i)
        page += "<p class=\"item\"><a href=\"/product?x=" + std::to_string(i) +
                "&amp;ref=list\">Product " + std::to_string(i) + "</a></p>\n";
    page += "<p><a href=\"/detail?x=1&id=42\">Details</a></p>\n"
            "<form action=\"/order\" method=\"post\">\n"
            "<input type=\"hidden\" name=\"sid\" value=\"a1b2&amp;c3d4\">\n"
            "<input type=\"submit\" value=\"Order\">\n</form>\n</body></html>\n";
    return page;
}

// Ten parameters of the kinds a recorded form typically has, one of them from the previous
// response.
constexpr const char* formScript = "[general]\n"
                                   "server=shop.example\n"
                                   "[order]\n"
                                   "$uri=/order\n"
                                   "$method=post\n"
                                   "item=42\n"
                                   "nid=$NRand(1,1000,id)\n"
                                   "token=$ARand(8,16)\n"
                                   "colour=$LRand(red,green,blue)\n"
                                   "size=$list(a,b,c)\n"
                                   "n=$Seq(n,001,1000)\n"
                                   "user=$clid(user,x)\n"
                                   "session=$var(sid,none)\n"
                                   "note=$enc<<a b/c?d\n"
                                   "ref=$UrlParam(id)\n";

// What a user runs through: the loaded test set, its working copy of the one definition and the
// user's own state, as a run sets them up.
struct User {
    torvex::CTestSet testSet;
    torvex::RequestDefinition copy;
    torvex::UserScriptState state;
    bool loaded = false;

    explicit User(const std::string& script) {
        if (!torvex::parseScript(testSet, script)) return;
        const torvex::RequestDefinition* definition = testSet.definitions.find("order");
        if (!definition) return;
        copy           = torvex::makeWorkingCopy(*definition);
        state.counters = torvex::initialCounters(testSet, 0);
        state.variables.insert("sid", "s3ss10n");
        loaded = true;
    }
};

bool contains(std::string_view body, std::string_view piece) {
    return body.find(piece) != std::string_view::npos;
}

// Times materialise and reports the allocations per request once the user's buffers have grown
// on a first request.
void runRequests(benchmark::State& state, User& user, const char* response) {
    torvex::materialise(user.state, user.copy, response);
    long long before = allocations.load(std::memory_order_relaxed);
    for (auto _ : state) {
        torvex::materialise(user.state, user.copy, response);
        benchmark::DoNotOptimize(user.state.body.view().data());
    }
    long long made = allocations.load(std::memory_order_relaxed) - before;
    state.counters["allocs/request"] =
        benchmark::Counter(static_cast<double>(made), benchmark::Counter::kAvgIterations);
    state.counters["body_bytes"] = static_cast<double>(user.state.body.length());
}

// Loads the form, checks a first body for the values every kind must give and times the rest.
void runForm(benchmark::State& state, const std::string& script,
             std::initializer_list<std::string_view> extraPieces) {
    static const std::string response = makeResponse();
    User user(script);
    if (!user.loaded) {
        state.SkipWithError("the script did not load");
        return;
    }
    torvex::materialise(user.state, user.copy, response.c_str());
    std::string_view body = user.state.body.view();
    auto lacking          = [&](std::initializer_list<std::string_view> pieces) {
        for (std::string_view piece : pieces)
            if (!contains(body, piece)) return "the body lacks " + std::string(piece);
        return std::string();
    };
    std::string problem = lacking({"item=42&nid=id", "&n=n001&", "&user=user0x&",
                                   "&session=s3ss10n&", "&note=a%20b%2Fc%3Fd&", "&ref=42"});
    if (problem.empty()) problem = lacking(extraPieces);
    if (!problem.empty()) {
        state.SkipWithError(problem.c_str());
        return;
    }
    runRequests(state, user, response.c_str());
}

void BM_Materialise_TenParameters(benchmark::State& state) {
    runForm(state, formScript, {});
}
BENCHMARK(BM_Materialise_TenParameters);

// The same form and an eleventh parameter from a hidden field of the previous response.
void BM_Materialise_TenParametersAndHidden(benchmark::State& state) {
    runForm(state, std::string(formScript) + "sid=$Hidden(sid)\n", {"&ref=42&sid=a1b2%26c3d4"});
}
BENCHMARK(BM_Materialise_TenParametersAndHidden);

// A small file of the user's for $File; removed when the benchmark ends.
class UploadFile {
public:
    UploadFile() {
        std::string name = (std::filesystem::temp_directory_path() / "torvex-bench-XXXXXX.txt");
        int fd           = mkstemps(name.data(), 4);
        if (fd < 0) return;
        std::string contents;
        for (int i = 0; i < 32; ++i) contents += "line " + std::to_string(i) + " of the upload\n";
        bool written =
            write(fd, contents.data(), contents.size()) == static_cast<ssize_t>(contents.size());
        close(fd);
        path_ = name;
        if (!written) path_.clear();
    }
    ~UploadFile() {
        if (!path_.empty()) std::remove(path_.c_str());
    }
    UploadFile(const UploadFile&)            = delete;
    UploadFile& operator=(const UploadFile&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// A multipart form: three fields and a file. $File reads the file on every request, so this case
// allocates for the file's contents each time.
void BM_Materialise_MultipartWithFile(benchmark::State& state) {
    UploadFile upload;
    if (upload.path().empty()) {
        state.SkipWithError("cannot write the upload file");
        return;
    }
    User user("[order]\n$uri=/upload\n"
              "title=$LRand(red,green,blue)\n"
              "owner=$clid(user,x)\n"
              "session=$var(sid,none)\n"
              "upload=$File(" +
              upload.path() + ",text/plain)\n");
    if (!user.loaded) {
        state.SkipWithError("the script did not load");
        return;
    }
    torvex::materialise(user.state, user.copy, nullptr);
    std::string_view body = user.state.body.view();
    if (!contains(body, "line 31 of the upload\n") || !contains(body, "Content-Type: text/plain") ||
        !contains(body, user.copy.boundary + "--\r\n")) {
        state.SkipWithError("the multipart body is not as expected");
        return;
    }
    runRequests(state, user, nullptr);
}
BENCHMARK(BM_Materialise_MultipartWithFile);

} // namespace

BENCHMARK_MAIN();
