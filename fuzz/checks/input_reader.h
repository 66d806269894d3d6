// Cutting one fuzzer input into the arguments of a call.
//
// The readers never fail: a field asked for beyond the end of the input comes out short or
// empty, so that every byte string is a valid input and the fuzzer never wastes runs on
// inputs that a stricter format would reject.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lilan::fuzzing {

class InputReader {
public:
    explicit InputReader(std::string_view data) : data_(data) {}

    bool empty() const { return data_.empty(); }

    // One byte, 0 when the input is used up.
    uint8_t byte() {
        if (data_.empty()) return 0;
        const auto b = static_cast<uint8_t>(data_.front());
        data_.remove_prefix(1);
        return b;
    }

    // Up to `count` bytes.
    std::string bytes(size_t count) {
        const std::string_view piece = data_.substr(0, count);
        data_.remove_prefix(piece.size());
        return std::string(piece);
    }

    // A field whose length comes first as one byte, taken modulo `limit` + 1.
    std::string field(size_t limit) { return bytes(byte() % (limit + 1)); }

    // Whatever is left.
    std::string rest() {
        std::string all(data_);
        data_ = {};
        return all;
    }

private:
    std::string_view data_;
};

} // namespace lilan::fuzzing
