#pragma once
// The 25 squares as a player meets them, written out by hand from the rules of
// the board and never read from the game's own table: what a landing shows,
// what it does to the purse and to the next walk, and where the square lies.
#include <QString>

#include <array>
#include <cmath>

namespace kiramoku::expected {

inline constexpr double TwipsPerCm = 1440 / 2.54;
inline constexpr double PieceInsetTwips = 0.4 * TwipsPerCm;    // from the square's corner
inline constexpr double PieceStaggerTwips = 0.1 * TwipsPerCm;  // further right per player above 1

enum class Then { Stays,
                  BackToStart,
                  OneOn,
                  OneBack };

struct Square {
    int left, top, width, height;  // twips on the board
    const char *line;              // what the mover reads
    const char *samuraiLine;       // what player 4 reads instead, where it differs
    int money;                     // ryō added to the mover's purse
    Then then;
    const char *name;  // what its picture has written on it
};

inline constexpr const char *ConstableLine = "八丁堀のだんな、またですかい？";
inline constexpr const char *HeadClerkLine = "番頭さん、これ持ってくよ！";
inline constexpr const char *OldRetainerLine = "じい、持ってくよ！[(じい)わか、どこに行かれるのじゃ！]";
inline constexpr const char *Plus = "50両";  // the coin squares
inline constexpr const char *Minus = "-50両";
inline constexpr const char *BackToStartLine = "おいおい！そりゃあないぜ・・・なんてこったい(-700)";

using enum Then;

// clang-format off
inline constexpr std::array<Square, 25> Squares = {{
    /*  0 */ { 240,  240,  975, 975, "おやじ、金持ってくぜ！[(おやじ)この馬鹿息子が！]（＋500）", nullptr, 500, Stays, "ふりだし"},
    /*  1 */ {1320,  240, 2295, 975, "うへへ・・・。夜のおかずを手に入れたぜ（＋200）", nullptr, 200, Stays, "浮世絵を拾う"},
    /*  2 */ {3720,  240,  975, 975, ConstableLine, nullptr, -50, Stays, Minus},
    /*  3 */ {4800,  240,  975, 975, HeadClerkLine, OldRetainerLine, 50, Stays, Plus},
    /*  4 */ {5880,  240, 2535, 975, BackToStartLine, nullptr, -700, BackToStart, "振り出しに戻る"},
    /*  5 */ {8520,  240,  975, 975, HeadClerkLine, OldRetainerLine, 50, Stays, Plus},
    /*  6 */ {8520, 1320,  975, 975, ConstableLine, nullptr, -50, Stays, Minus},
    /*  7 */ {8520, 2400,  975, 975, ConstableLine, nullptr, -50, Stays, Minus},
    /*  8 */ {7440, 3480, 2535, 975, "お代官さまも、すきですねぇ・・・奥さんにばらしちゃおうかなぁ（＋200）", nullptr, 200, Stays, "悪代官の悪だくみを知る"},
    /*  9 */ {8880, 4560,  975, 975, HeadClerkLine, OldRetainerLine, 50, Stays, Plus},
    /* 10 */ {7560, 5640, 2415, 975, "やっべぇー！おやじに見つかっちまった・・・[逃げる途中川に落ちた]（-600）", nullptr, -600, Stays, "吉原の遊女にいれあげる"},
    /* 11 */ {6480, 5640,  975, 975, ConstableLine, nullptr, -50, Stays, Minus},
    /* 12 */ {6000, 4560,  975, 975, HeadClerkLine, OldRetainerLine, 50, Stays, Plus},
    /* 13 */ {3600, 4560, 2295, 975, "やったぁー！富くじが当たったぁ！！！（+1000）", nullptr, 1000, Stays, "富くじの１等が当たる？？？"},
    /* 14 */ {3840, 5640,  975, 975, ConstableLine, nullptr, -50, Stays, Minus},
    /* 15 */ {1320, 5640, 2415, 975, "へっ！どんなもんだい！[悪人に100両で手をうった。]（-100）", nullptr, -100, Stays, "後家さんを悪者から助けお金をなくす"},
    /* 16 */ { 240, 5520,  975, 975, HeadClerkLine, OldRetainerLine, 50, Stays, Plus},
    /* 17 */ { 240, 4320,  975, 975, HeadClerkLine, OldRetainerLine, 50, Stays, Plus},
    /* 18 */ { 240, 3240, 2655, 975, BackToStartLine, nullptr, -700, BackToStart, "振り出しに戻る"},
    /* 19 */ {3000, 3240,  975, 975, ConstableLine, nullptr, -50, Stays, Minus},
    /* 20 */ {4080, 3240, 2175, 975, "お伊勢参りの後は「あかふく」でもいただきましょ。[茶屋のおやじに金をぼったぐられる]（-500）", nullptr, -500, Stays, "お伊勢参りに行く"},
    /* 21 */ {4800, 2040, 2295, 975, "これが見返り美人かぁ。おかずにしよう・・・[次のターンは出た目の数+1進める]（+350）", nullptr, 350, OneOn, "絵師から浮世絵をもらう"},
    /* 22 */ {3600, 1800,  975, 975, HeadClerkLine, OldRetainerLine, 50, Stays, Plus},
    /* 23 */ {1320, 1560, 2175, 975, "だんなぁ、これで勘弁してくださいよぉ[次のターンは出た目の数-1しか進めない]（-500）", nullptr, -500, OneBack, "町娘をからかい岡っ引きに袖の下"},
    /* 24 */ { 240, 1320,  975, 975, HeadClerkLine, OldRetainerLine, 50, Stays, Plus},
}};
// clang-format on

inline QString LineFor(int square, int player)
{
    const Square &s = Squares[std::size_t(square)];
    return QString::fromUtf8(player == 4 && s.samuraiLine ? s.samuraiLine : s.line);
}

// Where the next walk of a player who landed on `square` starts.
inline int NextStart(int square)
{
    switch (Squares[std::size_t(square)].then) {
    case BackToStart: return 0;
    case OneOn: return square + 1;
    case OneBack: return square - 1;
    case Stays: break;
    }
    return square;
}

// The square a player's piece stands on, placed as a walk places it (0.4 cm
// in from the corner, 0.1 cm further right per player); -1 on none.
template <typename Place>
int SquareUnder(Place piece, int player)
{
    for (int k = 0; k < int(Squares.size()); ++k) {
        const double left = Squares[std::size_t(k)].left + PieceInsetTwips + PieceStaggerTwips * (player - 1);
        const double top = Squares[std::size_t(k)].top + PieceInsetTwips;
        if (std::abs(piece.Left * TwipsPerCm - left) < 1 && std::abs(piece.Top * TwipsPerCm - top) < 1)
            return k;
    }
    return -1;
}

}  // namespace kiramoku::expected
