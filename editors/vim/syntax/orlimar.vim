" Vim syntax file for Orlimar story files. The groups follow the lines the
" game reads: every marker is compared from the first byte of its line, and
" whatever follows a marker on its line is never read.
if exists('b:current_syntax')
  finish
endif
scriptencoding utf-8

syntax case match
" A narration runs until its end marker however far that is, so the colours
" are worked out from the top (a story is at most a few thousand lines).
syntax sync fromstart

" Text after a marker on the marker's own line.
syntax match orlimarIgnored /\%(^\[\%(\/Narration\|Dialogue\|Choix\|Fin\)\]\)\@<=.\+/

" Section headers: "# Section", the number the author wrote, the title.
syntax match orlimarHeader /^# Section.*$/ contains=orlimarSectionKeyword,orlimarSectionNumber
syntax match orlimarSectionKeyword /^# Section/ contained
syntax match orlimarSectionNumber /\%(^# Section\s*\)\@<=[+-]\=\d\+/ contained

" Narration: everything up to "[/Narration]" is text, markers included.
syntax region orlimarNarration matchgroup=orlimarMarker start=/^\[Narration\]/ end=/^\[\/Narration\]/ contains=orlimarNarrationIgnored
syntax match orlimarNarrationIgnored /\%(^\[Narration\]\)\@<=.\+/ contained

" Dialogue: the block reads lines while they start with a dash. The name runs
" from the third byte to the first colon, the text from two bytes after it.
syntax region orlimarDialogueBlock matchgroup=orlimarMarker start=/^\[Dialogue\]/ end=/^\%(-\)\@!/
      \ contains=orlimarIgnored,orlimarDialogueDash,orlimarSpeakerOther,orlimarSpeakerPlayer,orlimarDialogueColon,orlimarDialogueText
syntax match orlimarDialogueDash /^-/ contained
syntax match orlimarSpeakerOther /\%(^-.\)\@<=[^:]\+\ze:/ contained
" The game shows a name in the player's green when it sorts after "Vous" byte
" by byte (every byte of an accented letter is above the ASCII range). Defined
" after the red one so that it wins where both match.
syntax match orlimarSpeakerPlayer /\%(^-.\)\@<=\%([^\x01-\x56]\|V[^\x01-\x6f]\|Vo[^\x01-\x75]\|Vou[^\x01-\x73]\|Vous[^:]\)[^:]*\ze:/ contained
syntax match orlimarDialogueColon /\%(^-.[^:]*\)\@<=:/ contained
syntax match orlimarDialogueText /\%(^-.[^:]*:.\)\@<=.\+/ contained

" Choices: the block reads lines while they hold an arrow. The byte after the
" arrow is skipped, then "Section : N" is read.
syntax region orlimarChoiceBlock matchgroup=orlimarMarker start=/^\[Choix\]/ end=/^\%(.*->\)\@!/
      \ contains=orlimarIgnored,orlimarChoiceText,orlimarArrow,orlimarTarget,orlimarBadTarget
syntax match orlimarChoiceText /^\%(\%(->\)\@!.\)\+\ze->/ contained contains=orlimarConsequence
syntax match orlimarArrow /\%(^\%(\%(->\)\@!.\)*\)\@<=->/ contained
syntax match orlimarTarget /\%(^\%(\%(->\)\@!.\)*->.\)\@<=\s*Section\s*:\s*[+-]\=\d\+/ contained contains=orlimarTargetKeyword,orlimarTargetNumber
syntax match orlimarBadTarget /\%(^\%(\%(->\)\@!.\)*->\)\@<=\%(.\s*Section\s*:\s*[+-]\=\d\)\@!.*/ contained
syntax match orlimarTargetKeyword /Section/ contained
syntax match orlimarTargetNumber /[+-]\=\d\+/ contained
syntax match orlimarConsequence /ID_Conséquence : \s*[+-]\=\d*/ contained contains=orlimarConsequenceNumber
syntax match orlimarConsequenceNumber /\%(ID_Conséquence : \s*\)\@<=[+-]\=\d\+/ contained

" Endings, a stray "[/Narration]", and item lines: a name between straight
" double quotes is gained, between angle brackets lost.
syntax match orlimarMarker /^\[Fin\]/
syntax match orlimarMarker /^\[\/Narration\]/
syntax match orlimarItemGain /^"\%(.*"\)\=$/ contains=orlimarItemGainSign
syntax match orlimarItemGainSign /^"\|"$/ contained
syntax match orlimarItemLose /^<.*>$/ contains=orlimarItemLoseSign
syntax match orlimarItemLoseSign /^<\|>$/ contained

highlight default link orlimarHeader Title
highlight default link orlimarSectionKeyword Statement
highlight default link orlimarSectionNumber Number
highlight default link orlimarMarker Keyword
highlight default link orlimarIgnored Comment
highlight default link orlimarNarrationIgnored Comment
highlight default link orlimarDialogueDash Delimiter
highlight default link orlimarDialogueColon Delimiter
highlight default link orlimarDialogueText String
highlight default orlimarSpeakerPlayer ctermfg=Green guifg=#2ea043 gui=bold
highlight default orlimarSpeakerOther ctermfg=Red guifg=#da3633 gui=bold
highlight default link orlimarChoiceText String
highlight default link orlimarArrow Operator
highlight default link orlimarTargetKeyword Keyword
highlight default link orlimarTargetNumber Number
highlight default link orlimarBadTarget Error
highlight default link orlimarConsequence Special
highlight default link orlimarConsequenceNumber Number
highlight default link orlimarItemGain Identifier
highlight default link orlimarItemGainSign Delimiter
highlight default link orlimarItemLose Identifier
highlight default link orlimarItemLoseSign Operator

let b:current_syntax = 'orlimar'
