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

// Index i of the element `name` checked against first..last; outside it, a
// program error: "index out of range: name(i), valid first to last".
inline std::size_t CheckedIndex(const char *name, long long i, int first, int last)
{
    if (i < first || i > last) {
        throw ProgramError("index out of range: " + std::string(name) + "(" + std::to_string(i) + "), valid "
                           + std::to_string(first) + " to " + std::to_string(last));
    }
    return static_cast<std::size_t>(i - first);
}

// A fixed array, indexed from 0, whose every access checks the index.
template <typename T, std::size_t N>
class CheckedArray {
public:
    explicit CheckedArray(const char *name)
        : name_(name) {}
    T &operator[](long long i) { return items_[slot(i)]; }
    const T &operator[](long long i) const { return items_[slot(i)]; }
    T &operator[](Int16 i) { return items_[slot(i.value())]; }
    const T &operator[](Int16 i) const { return items_[slot(i.value())]; }

private:
    std::size_t slot(long long i) const { return CheckedIndex(name_, i, 0, int(N) - 1); }
    std::array<T, N> items_{};
    const char *name_;
};

}  // namespace kiramoku
