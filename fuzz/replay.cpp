// Runs a fuzz harness over saved inputs without libFuzzer, so that the seed corpus and the inputs
// that once failed run in every build (gcc included) as ordinary tests.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<std::filesystem::path> inputsUnder(const std::filesystem::path& root)
{
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_regular_file(root)) {
        files.push_back(root);
    } else if (std::filesystem::is_directory(root)) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
            if (entry.is_regular_file()) {
                files.push_back(entry.path());
            }
        }
    }
    return files;
}

} // namespace

int main(int argc, char** argv)
{
    size_t runs = 0;
    for (int i = 1; i < argc; ++i) {
        for (const auto& file : inputsUnder(argv[i])) {
            std::ifstream in(file, std::ios::binary);
            const std::string data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(data.data()), data.size());
            ++runs;
        }
    }
    std::printf("%zu inputs replayed\n", runs);
    // No input at all means a corpus went missing, which must not pass silently.
    return runs > 0 ? 0 : 1;
}
