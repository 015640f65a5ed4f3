#include "app/search_line_text.h"

#include <array>
#include <string>

#include "app/form_description.h"
#include "play/voice_controls.h"
#include "ui/drum_page.h"
#include "ui/utf8_text.h"

namespace kalvora {

namespace {

const QString kGap = QStringLiteral("  ");

// The caption of the map's button without "マップ" or "音源".
QString MapName(int map) {
  static const std::array<QString, kToneMapCount> names = [] {
    std::array<QString, kToneMapCount> all;
    for (int radio = 1; radio <= kMapRadioButtons; ++radio) {
      QString caption = QString::fromUtf8(form::kRadios[radio - 1].caption);
      for (const char* word : form::kMapWords) {
        const QString suffix = QString::fromUtf8(word);
        if (caption.endsWith(suffix)) caption.chop(suffix.size());
      }
      all[static_cast<std::size_t>(MapOfRadioButton(radio))] = caption;
    }
    return all;
  }();
  return names[map];
}

QString WithMark(QString line, const std::string& mark) {
  return mark.empty() ? line : line + kGap + Text(mark);
}

}  // namespace

QString SearchLineText(const FoundName& entry, SynthMarks& marks) {
  const QString map = MapName(entry.map) + kGap;
  const QString name = Text(entry.name);
  switch (entry.kind) {
    case FoundKind::kTone:
      return WithMark(map + QString::fromUtf8(form::kSearchProgram) + ' ' +
                          QString::number(entry.program) + kGap +
                          QString::fromUtf8(form::kSearchBank) + ' ' + QString::number(entry.bank) +
                          kGap + name,
                      marks.toneMark(entry.map, entry.program, entry.bank));
    case FoundKind::kDrumSet: {
      const DrumSet* set = FindDrumSet(entry.map, entry.program);
      return WithMark(map + QString::fromUtf8(form::kDrumTab) + ' ' +
                          QString::number(entry.program) + kGap + name,
                      set != nullptr ? marks.drumSetMark(*set) : std::string());
    }
    case FoundKind::kDrumKey: {
      const DrumSet* set = FindDrumSet(entry.map, entry.program);
      const QString setName = set != nullptr ? Text(set->name) : QString();
      return map + setName + kGap + KeyNoteText(entry.note) + kGap + name;
    }
  }
  return name;
}

}  // namespace kalvora
