#include "squares.h"

#include "constants.h"

#include <algorithm>
#include <array>

namespace kiramoku {
namespace {

constexpr const char *ConstableLine = "八丁堀のだんな、またですかい？";
constexpr const char *MerchantAllowanceLine = "番頭さん、これ持ってくよ！";
constexpr const char *SamuraiAllowanceLine = "じい、持ってくよ！[(じい)わか、どこに行かれるのじゃ！]";
// The samurai's son is player 4; players 1 to 3 are merchants' sons.
constexpr int SamuraiPlayer = 4;

constexpr int AllowanceRyo = 50;
constexpr int FineRyo = -50;
constexpr const char *BackToStartLine = "おいおい！そりゃあないぜ・・・なんてこったい(-700)";

using enum Line;
using enum SpecialMove;

// clang-format off
constexpr std::array<Square, SquareCount> Squares = {{
    //  Left   Top  words      own line                                                                                     ryō   special
    {  240,  240, Own,       "おやじ、金持ってくぜ！[(おやじ)この馬鹿息子が！]（＋500）",                                 500, None},
    { 1320,  240, Own,       "うへへ・・・。夜のおかずを手に入れたぜ（＋200）",                                           200, None},
    { 3720,  240, Constable, nullptr, FineRyo, None},
    { 4800,  240, Allowance, nullptr, AllowanceRyo, None},
    { 5880,  240, Own,       BackToStartLine,                                                                             -700, BackToStart},
    { 8520,  240, Allowance, nullptr, AllowanceRyo, None},
    { 8520, 1320, Constable, nullptr, FineRyo, None},
    { 8520, 2400, Constable, nullptr, FineRyo, None},
    { 7440, 3480, Own,       "お代官さまも、すきですねぇ・・・奥さんにばらしちゃおうかなぁ（＋200）",                     200, None},
    { 8880, 4560, Allowance, nullptr, AllowanceRyo, None},
    { 7560, 5640, Own,       "やっべぇー！おやじに見つかっちまった・・・[逃げる途中川に落ちた]（-600）",                 -600, None},
    { 6480, 5640, Constable, nullptr, FineRyo, None},
    { 6000, 4560, Allowance, nullptr, AllowanceRyo, None},
    { 3600, 4560, Own,       "やったぁー！富くじが当たったぁ！！！（+1000）",                                             1000, None},
    { 3840, 5640, Constable, nullptr, FineRyo, None},
    { 1320, 5640, Own,       "へっ！どんなもんだい！[悪人に100両で手をうった。]（-100）",                                 -100, None},
    {  240, 5520, Allowance, nullptr, AllowanceRyo, None},
    {  240, 4320, Allowance, nullptr, AllowanceRyo, None},
    {  240, 3240, Own,       BackToStartLine,                                                                             -700, BackToStart},
    { 3000, 3240, Constable, nullptr, FineRyo, None},
    { 4080, 3240, Own,       "お伊勢参りの後は「あかふく」でもいただきましょ。[茶屋のおやじに金をぼったぐられる]（-500）", -500, None},
    { 4800, 2040, Own,       "これが見返り美人かぁ。おかずにしよう・・・[次のターンは出た目の数+1進める]（+350）",       350, ShiftForward},
    { 3600, 1800, Allowance, nullptr, AllowanceRyo, None},
    { 1320, 1560, Own,       "だんなぁ、これで勘弁してくださいよぉ[次のターンは出た目の数-1しか進めない]（-500）",       -500, ShiftBack},
    {  240, 1320, Allowance, nullptr, AllowanceRyo, None},
}};
// clang-format on

}  // namespace

const Square &SquareAt(Int16 k)
{
    return Squares[CheckedIndex("Image1", k.value(), 0, SquareCount - 1)];
}

QString SquareMessage(Int16 k, Int16 player)
{
    const Square &square = SquareAt(k);
    if (square.Kind == Own)
        return QString::fromUtf8(square.Text);
    if (square.Kind == Constable)
        return QString::fromUtf8(ConstableLine);
    return QString::fromUtf8(player == SamuraiPlayer ? SamuraiAllowanceLine : MerchantAllowanceLine);
}

int LargestGain()
{
    return std::ranges::max(Squares, {}, &Square::Money).Money;
}

int LargestLoss()
{
    return std::ranges::min(Squares, {}, &Square::Money).Money;
}

float SquareLeftCm(Int16 k)
{
    return static_cast<float>(SquareAt(k).Left / TwipsPerCm);
}

float SquareTopCm(Int16 k)
{
    return static_cast<float>(SquareAt(k).Top / TwipsPerCm);
}

}  // namespace kiramoku
