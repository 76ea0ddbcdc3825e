#!/usr/bin/env bash
# Fails when the dynamic symbol table of the library holds anything but the library's
# own API: names in vorlith:: and gsl::fail_fast (with their typeinfo and vtables) and
# the global host hooks. GNU-unique symbols are refused whatever their name, since one
# keeps dlclose from unloading the library. Usage: exported_symbols.sh LIBRARY
set -euo pipefail

own='^((typeinfo|typeinfo name|vtable) for )?(vorlith::|gsl::fail_fast(::|$)|(register_external|external|get_external|get_integration|set_integration)_)'
table=$(nm -D --defined-only -C "$1" | sed -E 's/^[0-9a-f]+ //')
status=0
if foreign=$(grep -E "^u " <<<"$table"); then
  echo "GNU-unique symbols:" >&2; echo "$foreign" >&2; status=1
fi
if foreign=$(cut -c3- <<<"$table" | grep -Ev "$own"); then
  echo "exported names that are not the library's API:" >&2; echo "$foreign" >&2; status=1
fi
# A host catches the exception classes by type across the library boundary.
for class in gsl::fail_fast vorlith::integration::Contract_failure; do
  for data in "typeinfo for" "vtable for"; do
    grep -Fxq "V $data $class" <<<"$table" || { echo "not exported: $data $class" >&2; status=1; }
  done
done
echo "$(wc -l <<<"$table") exported symbols$([[ $status == 0 ]] && echo ", all the library's own")"
exit $status
