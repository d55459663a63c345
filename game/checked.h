#pragma once
// Whole numbers of the game with checked arithmetic: a result outside the
// type's range is a program error, never a wrap-around.
#include "programerror.h"

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

namespace kiramoku {

template <typename Rep>
class Checked {
public:
    constexpr Checked() = default;
    // Every conversion into the game's numbers is range-checked.
    constexpr Checked(long long v)
        : value_(narrow(v, "conversion")) {}  // NOLINT: implicit on purpose

    constexpr Rep value() const { return value_; }

    friend constexpr Checked operator+(Checked a, Checked b)
    {
        return Checked(narrow(static_cast<long long>(a.value_) + b.value_, "addition"));
    }
    friend constexpr Checked operator-(Checked a, Checked b)
    {
        return Checked(narrow(static_cast<long long>(a.value_) - b.value_, "subtraction"));
    }
    constexpr Checked &operator+=(Checked b) { return *this = *this + b; }
    constexpr Checked &operator-=(Checked b) { return *this = *this - b; }

    friend constexpr bool operator==(Checked a, Checked b) = default;
    friend constexpr auto operator<=>(Checked a, Checked b) = default;

private:
    static constexpr Rep narrow(long long v, const char *what)
    {
        if (v < std::numeric_limits<Rep>::min() || v > std::numeric_limits<Rep>::max()) {
            throw ProgramError(std::string("overflow: ") + what + " gives " + std::to_string(v)
                               + ", outside the " + std::to_string(sizeof(Rep) * 8)
                               + "-bit signed range");
        }
        return static_cast<Rep>(v);
    }
    Rep value_ = 0;
};

// Money, squares, player numbers and die values.
using Int16 = Checked<std::int16_t>;
// Purses: wide enough that play going on for ages after a win never overflows
// in practice, and still checked.
using Int32 = Checked<std::int32_t>;

// A fixed array whose every access checks the index against First..First+N-1.
template <typename T, std::size_t N, int First = 0>
class CheckedArray {
public:
    T &operator[](long long i) { return items_[slot(i)]; }
    const T &operator[](long long i) const { return items_[slot(i)]; }
    T &operator[](Int16 i) { return (*this)[static_cast<long long>(i.value())]; }
    const T &operator[](Int16 i) const { return (*this)[static_cast<long long>(i.value())]; }

    static constexpr int first() { return First; }
    static constexpr int last() { return First + static_cast<int>(N) - 1; }

    explicit CheckedArray(const char *name = "array")
        : name_(name) {}

private:
    std::size_t slot(long long i) const
    {
        if (i < First || i > last()) {
            throw ProgramError("index out of range: " + std::string(name_) + "(" + std::to_string(i)
                               + "), valid " + std::to_string(First) + " to " + std::to_string(last()));
        }
        return static_cast<std::size_t>(i - First);
    }
    std::array<T, N> items_{};
    const char *name_;
};

}  // namespace kiramoku
