// How the search page writes an entry it found: the map as its button names it, then where the
// entry is and its name, and for tones and drum sets the built-in synth's mark.
#pragma once

#include <QString>

#include "app/synth_marks.h"
#include "catalogue/name_search.h"

namespace kalvora {

// "ＳＣ－８８５０  プログラム 1  バンク 0  Piano 1  ○", "ＳＣ－８８５０  ドラムセット 26  TR-808",
// "ＳＣ－８８５０  TR-808  G#3 (56)  808 Cowbell".
QString SearchLineText(const FoundName& entry, SynthMarks& marks);

}  // namespace kalvora
