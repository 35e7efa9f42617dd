// Feeds arbitrary bytes to the response reader, whole and in pieces, and
// checks that both readings agree and that the caps hold. The first input byte
// picks the piece size and whether the peer closes at the end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/http/response_reader.h"

namespace {

struct Reading {
    vel::ResponseReader::State state;
    vel::FetchError error;
    int status;
    bool headComplete;
    std::string body;
    std::size_t consumed;
    std::vector<std::string> cookies;
    bool keepAlive;

    bool operator==(const Reading&) const = default;
};

vel::ResponseLimits smallLimits()
{
    vel::ResponseLimits limits;
    limits.maxLineBytes = 512;
    limits.maxHeadBytes = 8192;
    limits.maxHeadLines = 64;
    limits.maxBodyBytes = 65536;
    return limits;
}

Reading read(std::string_view input, std::size_t piece, bool close)
{
    const vel::ResponseLimits limits = smallLimits();
    vel::ResponseReader reader(limits);
    std::size_t consumed = 0;
    for (std::size_t start = 0;
         start < input.size() && reader.state() == vel::ResponseReader::State::NeedMore;
         start += piece) {
        const std::string_view chunk = input.substr(start, piece);
        const auto step = reader.feed(chunk);
        if (step.consumed > chunk.size())
            std::abort();
        if (step.state == vel::ResponseReader::State::NeedMore && step.consumed != chunk.size())
            std::abort();
        consumed += step.consumed;
    }
    if (close)
        reader.finish();
    if (reader.body().size() > limits.maxBodyBytes)
        std::abort();
    if (reader.state() == vel::ResponseReader::State::Failed)
        consumed = 0;
    return {reader.state(), reader.error(), reader.status(),     reader.headComplete(),
            reader.body(),  consumed,       reader.setCookies(), reader.keepAlive()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool close = data[0] & 0x80;
    const std::size_t piece = (data[0] & 0x7F) + 1;
    const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
    if (!(read(input, input.size() + 1, close) == read(input, piece, close)))
        std::abort();
    return 0;
}
