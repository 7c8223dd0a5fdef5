#!/bin/sh
# Whether a header is found with the include folders one layer of the service compiles
# with: layer_arrow.sh COMPILER HEADER found|missing -IFOLDER... A header of a layer the
# layer does not use must be missing, and missing for that reason alone.
compiler=$1 header=$2 expected=$3
shift 3
errors=$(printf '#include "%s"\n' "$header" | "$compiler" -x c++ -std=c++20 -E -o /dev/null "$@" - 2>&1)
status=$?
case $expected in
  found)
    [ $status -eq 0 ] && exit 0
    echo "$header is not found, or does not compile alone:"; echo "$errors"; exit 1 ;;
  missing)
    if [ $status -eq 0 ]; then echo "$header is found: a layer that must not use it links its layer"; exit 1; fi
    case $errors in
      *"$header"*) exit 0 ;;
    esac
    echo "$header failed for another reason:"; echo "$errors"; exit 1 ;;
esac
echo "usage: layer_arrow.sh COMPILER HEADER found|missing -IFOLDER..." >&2
exit 2
