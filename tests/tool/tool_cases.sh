#!/usr/bin/env bash
# One case of the vorlith-line tests: tool_cases.sh <vorlith-line> <data dir> <case>.
# Each case runs the program in an empty folder on the small tables of data/.
set -euo pipefail
tool=$1
data=$2
name=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() {
  echo "FAIL ($name): $*" >&2
  exit 1
}
run() { "$tool" "$@" </dev/null; }
# expect_file FILE: FILE must hold exactly the standard input of this call.
expect_file() { diff -u - "$1" || fail "$1 differs from the expected text"; }
# field FILE ROW COLUMN: one comma-separated field (row 1 is the header).
field() { awk -F, -v r="$2" -v c="$3" 'NR == r { print $c }' "$1"; }
near() { awk -v a="$1" -v b="$2" 'BEGIN { d = a - b; exit !(d < 1e-6 && d > -1e-6) }' || fail "$1 is not $2"; }
# expect_error MESSAGE ARGS...: exit status 2, MESSAGE on standard error, and the folder
# exactly as before (no output, no temporary file, an existing output untouched).
expect_error() {
  local message=$1 status=0 before after
  shift
  before=$(ls -A; cat ./* 2>/dev/null | md5sum)
  "$tool" "$@" </dev/null >"$work.out" 2>"$work.err" || status=$?
  after=$(ls -A; cat ./* 2>/dev/null | md5sum)
  [[ $status -eq 2 ]] || fail "exit status $status instead of 2 for: $*"
  grep -qF -- "$message" "$work.err" || fail "'$message' not in the message: $(cat "$work.err")"
  [[ "$before" == "$after" ]] || fail "the folder changed: $(ls -A)"
  rm -f "$work.out" "$work.err"
}

case $name in
  roundtrip)
    run -i "$data/line.csv" -o out.csv
    cmp out.csv "$data/line.csv"
    "$tool" <"$data/line.csv" >piped.csv
    cmp piped.csv "$data/line.csv"
    # Tabs, CRLF line ends, empty dummies and a text column.
    run -i "$data/line.tsv" -o out.tsv
    cmp out.tsv "$data/line.tsv"
    run -i "$data/noheader.csv" --no-header -o out2.csv
    cmp out2.csv "$data/noheader.csv"
    run -i "$data/text.csv" -o text.csv
    cmp text.csv "$data/text.csv"
    ;;
  number_rules)
    run -i "$data/line.txt" -o out.txt
    expect_file out.txt <<'T'
fid x mag
1 1000 10
2 2000 *
3 350 12
T
    printf 'a,b\n+1.5,2.5e-7\n007,5.\n-1e32,1e32\n' | "$tool" -d comma >out.csv
    expect_file out.csv <<'T'
a,b
1.5,2.5e-07
7,5
*,1e+32
T
    ;;
  stats)
    run -i "$data/line.csv" stats >report.txt
    expect_file report.txt <<'T'
column    count  dummies  min       max       mean        order
fid       10     0        1         10        5.50        increasing
x         10     0        100.0     127.0     113.500     increasing
y         10     0        200.0     236.0     218.000     increasing
distance  10     0        0.00      45.00     22.5000     increasing
mag       10     2        50010.25  50213.00  50038.4062  unordered
T
    # With the table on standard output the report goes to standard error.
    run -i "$data/line.csv" -o - stats --column mag >table.csv 2>report.txt
    cmp table.csv "$data/line.csv"
    grep -q '^mag  *10  *2 ' report.txt || fail "report: $(cat report.txt)"
    ;;
  despike)
    # The spike sits in a stretch of four samples between two gaps.
    run -i "$data/line.csv" -o out.csv despike --column mag --width 3 --tolerance 1
    spike=$(field out.csv 7 5)
    awk -v v="$spike" 'BEGIN { exit !(v > 50012 && v < 50016) }' || fail "spike became $spike"
    cmp <(sed 7d out.csv) <(sed 7d "$data/line.csv") || fail "other samples changed: $(cat out.csv)"
    ;;
  fill_gaps)
    run -i "$data/line.csv" -o out.csv fill-gaps --column mag --edges extrapolate --roll squared
    ! grep -q '\*' out.csv || fail "dummies left"
    [[ $(field out.csv 2 5) == 50010.25 && $(field out.csv 7 5) == 50213.00 ]] || fail "data samples changed"
    ;;
  resample)
    run -i "$data/line.csv" -o out.csv resample --position distance --spacing 10
    # Straight-line columns are reproduced exactly; a dummy row is bridged.
    expect_file <(cut -d, -f1-4 out.csv) <<'T'
fid,x,y,distance
1,100.0,200.0,0.00
3,106.0,208.0,10.00
5,112.0,216.0,20.00
7,118.0,224.0,30.00
9,124.0,232.0,40.00
T
    [[ $(field out.csv 3 5) != '*' ]] || fail "mag not interpolated across its dummy"
    expect_error "must increase strictly" -i "$data/line.csv" -o out.csv resample --position mag --spacing 1
    ;;
  filter)
    run -i "$data/line.csv" -o out.csv filter --column x --kernel "0.25, 0.5, 0.25"
    [[ $(wc -l <out.csv) -eq 9 && $(field out.csv 2 1) == 2 && $(field out.csv 2 2) == 103.0 ]] ||
      fail "trimmed table: $(head -3 out.csv)"
    run -i "$data/line.csv" -o keep.csv filter --column x --column y --lowpass boxcar --length 3 --keep-length
    [[ $(field keep.csv 2 2) == '*' && $(field keep.csv 3 2) == 103.0 && $(field keep.csv 11 3) == '*' ]] ||
      fail "kept table: $(head -3 keep.csv)"
    # An even kernel keeps the table's length too.
    run -i "$data/line.csv" -o even.csv filter --column x --kernel 0.5,0.5 --keep-length
    [[ $(wc -l <even.csv) -eq 11 && $(field even.csv 2 2) == 101.5 && $(field even.csv 11 2) == '*' ]] ||
      fail "even kernel: $(cat even.csv)"
    ;;
  limits)
    run -i "$data/line.csv" -o clip.csv clip --column mag --min 50000 --max 50100
    [[ $(field clip.csv 7 5) == '*' && $(field clip.csv 6 5) == 50013.00 ]] || fail "clip"
    run -i "$data/line.csv" -o inside.csv clip --column fid --min 3 --max 5 --inside --exclude-max
    [[ $(cut -d, -f1 inside.csv | tr '\n' ' ') == "fid 1 2 * * 5 6 7 8 9 10 " ]] || fail "clip inside"
    # Subcommands repeat in a chain, in the order given.
    run -i "$data/line.csv" -o clamp.csv clamp --column mag --max 50100 clamp --column mag --min 50012
    [[ $(field clamp.csv 7 5) == 50100.00 && $(field clamp.csv 2 5) == 50012.00 ]] || fail "clamp"
    run -i "$data/line.csv" -o log.csv log --column fid
    [[ $(field log.csv 2 1) == '*' && $(field log.csv 11 1) == 1.000000 ]] || fail "log: $(cut -d, -f1 log.csv)"
    run -i "$data/line.csv" -o scaled.csv log --column x --base e --scaled 100
    near "$(field scaled.csv 3 2)" 102.955880
    ;;
  distance)
    run -i "$data/line.csv" -o out.csv distance --name along --start 10
    [[ $(head -1 out.csv) == fid,x,y,distance,mag,along ]] || fail "header $(head -1 out.csv)"
    [[ $(field out.csv 2 6) == 10.0 && $(field out.csv 11 6) == 55.0 ]] || fail "$(cut -d, -f6 out.csv)"
    ;;
  spectrum)
    run -i "$data/line.csv" spectrum --column fid --output fid.csv --spacing 5 >table.csv
    [[ ! -s table.csv ]] || fail "a report-only chain wrote the table"
    [[ $(wc -l <fid.csv) -eq 7 && $(sed -n 2p fid.csv) == 0,0,5.5 ]] || fail "$(cat fid.csv)"
    near "$(field fid.csv 7 2)" 0.1
    near "$(field fid.csv 7 3)" 0.5
    expect_error "holds 2 dummies" -i "$data/line.csv" spectrum --column mag --output mag.csv
    ;;
  chain)
    run -i "$data/line.csv" -o out.csv despike --column mag --width 3 fill-gaps --column mag \
      resample --position distance --spacing 5 stats --column mag >report.txt
    [[ $(wc -l <out.csv) -eq 11 ]] || fail "$(cat out.csv)"
    grep -q '^mag  *10  *0  ' report.txt || fail "report: $(cat report.txt)"
    awk -F, 'NR > 1 && ($5 < 50009 || $5 > 50017) { exit 1 }' out.csv || fail "$(cat out.csv)"
    ;;
  chunks)
    # More rows than one read chunk; a column that turns to text after the first chunk
    # keeps the numbers before it as they were written.
    awk 'BEGIN { print "i,v,t"; for (i = 0; i < 20000; ++i) printf "%d,%.3f,%s\n", i, i / 7, (i == 15000 ? "late text" : i % 11) }' >big.csv
    run -i big.csv -o out.csv
    cmp out.csv big.csv
    expect_error "column 't' is not numeric: line 15002 holds 'late text'" -i big.csv -o x.csv stats --column t
    ;;
  formatting)
    # Values computed by an operation are written as C's printf rounds them (halfway
    # cases to even on the exact binary value), for every count of decimals.
    awk 'BEGIN { srand(7); print "d0,d1,d2,d3,d6"
      for (i = 0; i < 5000; ++i)
        printf "%.0f,%.1f,%.2f,%.3f,%.6f\n", (rand() - 0.5) * 1e6, (rand() - 0.5) * 1e5, (rand() - 0.5) * 1e4,
               (i % 2 ? i / 8 : rand() - 0.5), (rand() - 0.5) * 10 }' >in.csv
    run -i in.csv -o same.csv
    cmp same.csv in.csv
    run -i in.csv -o tenth.csv filter -c d0 -c d1 -c d2 -c d3 -c d6 --kernel 0.1
    awk -F, 'NR == 1 { print; next }
      { printf "%.0f,%.1f,%.2f,%.3f,%.6f\n", $1 * 0.1, $2 * 0.1, $3 * 0.1, $4 * 0.1, $5 * 0.1 }' in.csv >expected.csv
    cmp tenth.csv expected.csv
    printf 'a\n1\n2\n3\n4\n' | "$tool" filter -c a --kernel 0.5,0.5 --keep-length >half.csv
    expect_file half.csv <<'T'
a
2
2
4
*
T
    ;;
  text_columns)
    # Text grows past its first width; resample leaves text columns as dummies.
    printf 'p,label,v\n0,a,1\n1,%s,2\n2,%s,*\n' "$(printf 'x%.0s' {1..40})" "$(printf 'y%.0s' {1..300})" >text.csv
    run -i text.csv -o out.csv
    cmp out.csv text.csv
    run -i text.csv -o half.csv resample --position p --spacing 0.5
    expect_file half.csv <<'T'
p,label,v
0.0,*,1
0.5,*,2
1.0,*,2
1.5,*,*
2.0,*,*
T
    ;;
  delimiters)
    printf 'a b\tc\n1  2\t3\n' >mixed.txt
    run -i mixed.txt -d space -o out.txt
    printf 'a b c\n1 2 3\n' | cmp - out.txt
    # Tab wins over commas in detection (column 'b,c' holds text); -d overrides it.
    printf 'a\tb,c\n1\t2,5\n' >tab.txt
    run -i tab.txt stats >report.txt
    grep -q '^a  *1 ' report.txt && ! grep -q 'b,c' report.txt || fail "$(cat report.txt)"
    run -i tab.txt -d comma stats -c c >report.txt
    grep -q '^c  *1  *0  *5 ' report.txt || fail "$(cat report.txt)"
    ;;
  arguments)
    # A subcommand's name is a value where an option expects one.
    printf 'stats,log\n1,10\n' >names.csv
    run -i names.csv -o out.csv log --column log stats --column stats >report.txt
    [[ $(sed -n 2p out.csv) == 1,1.000000 ]] || fail "$(cat out.csv)"
    grep -q '^stats ' report.txt || fail "$(cat report.txt)"
    run -i names.csv -o out2.csv clamp --column=stats --max=0.5
    [[ $(sed -n 2p out2.csv) == 0,10 ]] || fail "$(cat out2.csv)"
    ;;
  help)
    run --help | grep -q 'fill-gaps' || fail "global help"
    for command in stats despike fill-gaps resample filter clip clamp log distance spectrum; do
      run "$command" --help >help.txt
      grep -q "Example:" help.txt && grep -q "vorlith-line.*$command" help.txt || fail "$command --help"
    done
    ;;
  errors)
    echo keep >out.csv
    expect_error "unknown column 'nope' (the columns are: fid, x, y, distance, mag)" \
      -i "$data/line.csv" -o out.csv despike --column nope
    expect_error "column 'mag' is not numeric: line 3 holds 'oops'" -i "$data/text.csv" -o out.csv stats --column mag
    expect_error "ragged.csv:3: 1 fields where the table has 2" -i "$data/ragged.csv" -o out.csv
    expect_error "despike: --width" -i "$data/line.csv" -o out.csv despike --column mag --width 0
    expect_error "fill-gaps: --edges" -i "$data/line.csv" -o out.csv fill-gaps --column mag --edges both
    expect_error "give a kernel" -i "$data/line.csv" -o out.csv filter --column mag
    expect_error "value 2 is not a finite number" -i "$data/line.csv" -o out.csv filter --column mag --kernel 1,x
    expect_error "--min must not exceed --max" -i "$data/line.csv" -o out.csv clip --column mag --min 2 --max 1
    expect_error "give --min, --max or both" -i "$data/line.csv" -o out.csv clamp --column mag
    expect_error "resample: --spacing" -i "$data/line.csv" -o out.csv resample --position distance --spacing -1
    expect_error "not expected" -i "$data/line.csv" -o out.csv stats extra
    expect_error "cannot open missing.csv" -i missing.csv -o out.csv
    expect_error "no table" -o out.csv
    expect_error "cannot create a file beside nowhere/out.csv" -i "$data/line.csv" -o nowhere/out.csv
    expect_error "two columns are named 'a'" -i <(printf 'a,a\n1,2\n') -o out.csv
    # A later failure removes an earlier subcommand's output as well.
    expect_error "unknown column 'nope'" -i "$data/line.csv" -o out.csv spectrum --column x --output s.csv \
      clamp --column nope --min 0
    ;;
  *)
    fail "no such case"
    ;;
esac
