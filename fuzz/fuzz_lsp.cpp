// The language server over arbitrary bytes on its standard input: whatever
// comes, it ends with status 0 or 1, and writes only well-framed messages
// that are valid JSON.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "fuzz_support.hpp"
#include "lsp_server.hpp"
#include "lsp_transport.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size), std::ios::binary);
    std::ostringstream out, log;
    const int status = run_language_server(in, out, log);
    FUZZ_CHECK(status == 0 || status == 1);
    std::istringstream written(out.str(), std::ios::binary);
    for (ReadMessage message = read_message(written); message.status != ReadStatus::end;
         message = read_message(written)) {
        FUZZ_CHECK(message.status == ReadStatus::message);
        FUZZ_CHECK(nlohmann::json::accept(message.body));
    }
    return 0;
}
