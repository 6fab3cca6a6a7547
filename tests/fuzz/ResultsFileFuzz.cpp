// Loads arbitrary bytes as a results file through the results list, as opening a file from another
// machine does. A file that loads must save to bytes that read again into as many records.

#include "results/ResultsContainer.h"
#include "results/ResultsFile.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// An anonymous in-memory file that every input is written to, reached through its /proc path.
struct MemoryFile {
    int fd           = ::memfd_create("torvex-results-fuzz", MFD_CLOEXEC);
    std::string path = "/proc/self/fd/" + std::to_string(fd);

    void replace(const std::uint8_t* data, std::size_t size) {
        if (fd < 0 || ::ftruncate(fd, 0) != 0) __builtin_trap();
        std::size_t written = 0;
        while (written < size) {
            ssize_t n = ::pwrite(fd, data + written, size - written, static_cast<off_t>(written));
            if (n <= 0) __builtin_trap();
            written += static_cast<std::size_t>(n);
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static MemoryFile file;
    file.replace(data, size);

    torvex::CResultsContainer container;
    std::string error;
    if (!container.LoadFromFile(file.path, error)) {
        if (error.empty() || container.GetCount() != 0) __builtin_trap();
        return 0;
    }
    const std::string saved = container.Serialize();
    std::vector<torvex::ResultsRecord> records;
    if (!torvex::readResultsFileBytes(saved, records, error)) __builtin_trap();
    if (static_cast<int>(records.size()) != container.GetCount()) __builtin_trap();
    return 0;
}
