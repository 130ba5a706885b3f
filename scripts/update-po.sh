#!/bin/sh
# Refreshes the message catalogues from the sources: extracts every text
# marked with Tr, TrMark, TrFormat or TrText into po/loopwright.pot, then
# merges it into each po/<lang>.po (new texts arrive untranslated, texts no
# longer in the sources are kept as obsolete "#~" entries).
#   scripts/update-po.sh            refresh po/loopwright.pot and every po/*.po
#   scripts/update-po.sh fr         start po/fr.po from the template
set -eu
cd "$(dirname "$0")/.."

find app cli companions editing effects export generators imaging tools ui \
     \( -name '*.cpp' -o -name '*.h' \) | LC_ALL=C sort > po/.sources
xgettext --from-code=UTF-8 --language=C++ --sort-by-file --add-comments=TRANSLATORS: \
  --keyword= --keyword=Tr --keyword=TrMark --keyword=TrFormat:1 \
  --flag=TrFormat:1:c-format \
  --package-name=Loopwright --msgid-bugs-address= \
  --files-from=po/.sources -o po/loopwright.pot
rm -f po/.sources

if [ $# -gt 0 ]; then
  for lang in "$@"; do
    if [ -e "po/$lang.po" ]; then
      echo "po/$lang.po exists; run without arguments to merge" >&2
      exit 1
    fi
    msginit --no-translator --locale="$lang.UTF-8" --input=po/loopwright.pot --output-file="po/$lang.po"
  done
  exit 0
fi

for po in po/*.po; do
  msgmerge --quiet --update --backup=none --no-fuzzy-matching "$po" po/loopwright.pot
  printf '%s: ' "$po"
  msgfmt --check-format --statistics -o /dev/null "$po"
done
