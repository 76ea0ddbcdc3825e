#!/usr/bin/env bash
# One case of the vorlith-line tests: tool_cases.sh <vorlith-line> <data dir> <ASEG-GDF2 dir> <case>.
# Each case runs the program in an empty folder on the small surveys of data/.
set -euo pipefail
tool=$1
data=$2
aseg=$3
name=$4
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
    # Unchanged columns keep their decimals and text its bytes; dummies are written empty.
    run -q -i "$data/line.csv" -o out.csv
    sed 's/\*//' "$data/line.csv" | cmp - out.csv
    "$tool" -q <"$data/line.csv" | cmp - out.csv
    run -q -i "$data/line.tsv" | tr -d '\r' | cmp - <(tr -d '\r' <"$data/line.tsv")
    run -q -i "$data/noheader.csv" --no-header | sed 's/^1,$/1,*/' | cmp - "$data/noheader.csv"
    run -q -i "$data/line.txt" >got.txt
    expect_file got.txt <<'T'
fid x mag
1 1000.0 10
2 2000.0 *
3 350.0 12
T
    run -q -i "$data/line.csv" --output-delimiter semicolon | head -2 >got.txt
    expect_file got.txt <<'T'
fid;x;y;distance;mag
1;100.0;200.0;0.00;50010.25
T
    ;;
  aseg)
    # ASEG-GDF2 in and out keeps names, units and NULLs; distance restarts on each line.
    cp "$aseg"/Example_GroundMag_Bedrock_6000BC.* .
    run -q -i Example_GroundMag_Bedrock_6000BC.dat -o copy.dfn
    grep -q 'Mag_final:F10.2:UNIT=nT,NULL=-99999.99' copy.dfn || fail "$(cat copy.dfn)"
    cmp <(run -q -i copy.dat) <(run -q -i Example_GroundMag_Bedrock_6000BC.dfn)
    run -q -i copy.dfn -o d.csv distance -x EAST -y NORTH
    [[ $(awk -F, 'NR > 1 && $1 != line { line = $1; printf "%s:%s ", $1, $NF }' d.csv) == "690.0:0.0 700.0:0.0 710.0:0.0 " ]] ||
      fail "distance: $(cut -d, -f1,11 d.csv | head)"
    ;;
  lines)
    # Line 20 is flown backwards; resample keeps each line's number and direction.
    run -q -i "$data/lines.csv" --decimals 1 resample --position x --spacing 3 | cut -d, -f1-3 >got.txt
    expect_file got.txt <<'T'
line,x,y
10,0.0,0.0
10,3.0,4.0
10,6.0,8.0
10,9.0,12.0
20,9.0,12.0
20,6.0,8.0
20,3.0,4.0
20,0.0,0.0
T
    # Filter and fill-gaps never reach across the line change.
    [[ $(run -q -i "$data/lines.csv" filter --column mag --kernel 0.5,0.5 --keep-length | cut -d, -f4 | tr '\n' ' ') == \
      "mag 1.5 2.5   95.0 85.0 75.0  " ]] || fail "filter --keep-length reached across lines"
    [[ $(run -q -i "$data/lines.csv" filter --column mag --kernel 0.5,0.5 | cut -d, -f1,4 | tr '\n' ' ') == \
      "line,mag 10,1.5 10,2.5 10, 20,95.0 20,85.0 20,75.0 " ]] || fail "filter reached across lines"
    [[ $(run -q -i "$data/lines.csv" fill-gaps --column mag | field /dev/stdin 5 4) == "" ]] || fail "gap filled across lines"
    run -q -i "$data/lines.csv" --lines 15-25 stats --per-line --column mag >got.txt
    expect_file got.txt <<'T'
column  line  count  dummies  min  max  mean  sd             median  p5    p95   order
mag     20    4      0        70   100  85    12.9099444874  85      71.5  98.5  decreasing
T
    [[ $(run -q -i "$data/lines.csv" stats --per-line --column mag --percentiles 50 | sed -n 2p | tr -s ' ') == \
      "mag 10 4 1 1 3 2 1 2 2 increasing" ]] || fail "stats of line 10"
    ;;
  computed)
    # Values an operation computes are not rounded to the input's decimals.
    printf 'i,x,y\n1,0,0\n2,5,5\n4,8,9\n' >int.csv
    [[ $(run -q -i int.csv clamp -c i --max 2.5 | cut -d, -f1 | tr '\n' ' ') == "i 1.0 2.0 2.5 " ]] || fail clamp
    [[ $(run -q -i int.csv clamp -c i --max 3 | cut -d, -f1 | tr '\n' ' ') == "i 1 2 3 " ]] || fail "whole clamp"
    [[ $(run -q -i int.csv distance | field /dev/stdin 3 4) == 7.0710678118654755 ]] || fail distance
    [[ $(run -q -i int.csv filter -c i -k 0.25,0.5,0.25 | field /dev/stdin 2 1) == 2.25 ]] || fail filter
    [[ $(run -q -i int.csv --decimals 3 filter -c i -k 0.25,0.5,0.25 | field /dev/stdin 2 1) == 2.250 ]] || fail decimals
    [[ $(printf 'x\n5e5\n1e-7\n' | "$tool" -q | tr '\n' ' ') == "x 500000.0 1e-07 " ]] || fail "shortest form"
    ;;
  order)
    # Every option works before or after a subcommand name, and a flag before a subcommand
    # never swallows it.
    commands=("stats" "despike -c mag" "fill-gaps -c mag" "resample -p x -s 3" "filter -c mag -k 1" "clip -c mag --min 0"
      "clamp -c mag --max 50" "log -c mag" "distance" "spectrum -c x -o s.csv")
    options=("-q" "--dry-run" "--decimals 3" "--lines 10" "--line line" "-d comma" "--output-delimiter tab" "--format delimited")
    for command in "${commands[@]}"; do
      for option in "${options[@]}"; do
        run -i "$data/lines.csv" -o a.csv $option $command >a.out 2>a.err || fail "$option $command: $(cat a.err)"
        run -i "$data/lines.csv" -o b.csv $command $option >b.out 2>b.err || fail "$command $option: $(cat b.err)"
        cmp a.out b.out && cmp a.err b.err && cmp <(cat a.csv s.csv 2>/dev/null) <(cat b.csv s.csv 2>/dev/null) ||
          fail "'$option' before and after $command differ"
        [[ $option == -q ]] || grep -q "^vorlith-line: ${command%% *}" a.err || fail "$option $command: $(cat a.err)"
        rm -f a.* b.* s.csv
      done
      for flag in "stats --per-line" "filter -c mag -k 1 --keep-length" "clip -c mag --min 5 --inside" \
        "resample -p x -s 3 --drop-repeats"; do
        run -i "$data/lines.csv" -o a.csv $flag $command 2>a.err || fail "$flag $command: $(cat a.err)"
        grep -q "^vorlith-line: ${command%% *}" a.err || fail "$flag $command skipped $command: $(cat a.err)"
      done
    done
    [[ $(run -i "$data/lines.csv" -q stats | head -1) == column* ]] || fail "-q stats"
    ;;
  inputs)
    # Comments and a byte-order mark are skipped; nan and inf are dummies.
    printf '\xef\xbb\xbf# survey 7\n# units: m\nx,v\n1,nan\n# mid\n2,-inf\n3,5\n' >commented.csv
    run -q -i commented.csv stats | grep -q '^v  *3  *2  *5 ' || fail "$(run -i commented.csv stats)"
    # Repeated positions are named, or dropped on request.
    printf 'x,v\n0,1\n1,2\n1,3\n2,4\n' >repeat.csv
    expect_error "rows 2 and 3 repeat position 1 of 'x'" -i repeat.csv -o out.csv resample -p x -s 1
    [[ $(run -i repeat.csv resample -p x -s 1 --drop-repeats 2>&1 >/dev/null) == *"1 repeated position dropped"* ]] ||
      fail "drop-repeats"
    ;;
  report)
    [[ $(run --version) =~ ^vorlith-line\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "version"
    run -i "$data/line.csv" -o out.csv despike --column mag --width 3 --tolerance 1 clip -c fid --max 8 2>err.txt
    expect_file err.txt <<'T'
vorlith-line: despike mag: 1 sample despiked on 1 line
vorlith-line: clip fid: 2 samples became dummies
T
    run -i "$data/line.csv" -o dry.csv --dry-run fill-gaps -c mag 2>err.txt
    [[ ! -e dry.csv && $(tail -1 err.txt) == "vorlith-line: dry run: nothing written" ]] || fail "dry run"
    [[ $(run spectrum --help) == *'sine of amplitude A gives A / 2'* ]] || fail "spectrum --help"
    ;;
  despike)
    # The spike sits in a stretch of four samples between two gaps.
    run -q -i "$data/line.csv" -o out.csv despike --column mag --width 3 --tolerance 1
    spike=$(field out.csv 7 5)
    awk -v v="$spike" 'BEGIN { exit !(v > 50012 && v < 50016) }' || fail "spike became $spike"
    ;;
  fill_gaps)
    run -q -i "$data/line.csv" -o out.csv fill-gaps --column mag --edges extrapolate --roll squared
    [[ $(cut -d, -f5 out.csv | grep -c '^$') -eq 0 ]] || fail "dummies left"
    [[ $(field out.csv 2 5) == 50010.25 && $(field out.csv 7 5) == 50213.0 ]] || fail "data samples changed"
    ;;
  line_processing)
    # hampel replaces the spike at fid 6 by its window's median (four data samples).
    run -q -i "$data/line.csv" -o h.csv hampel --column mag --half-width 2 --flags spike
    [[ $(field h.csv 7 5) == 50013.75 && $(cut -d, -f6 h.csv | tr '\n' ' ') == "spike 0 0 0 0 0 1 0 0 0 0 " ]] ||
      fail "hampel: $(cat h.csv)"
    # Gap limits along a column, with the mask of filled samples.
    run -q -i "$data/line.csv" -o a.csv fill-gaps -c mag --method akima --position distance --max-distance 10 --mask m
    [[ $(cut -d, -f6 a.csv | tr '\n' ' ') == "m 0 0 1 0 0 0 0 1 0 0 " && $(field a.csv 4 5) != "" ]] || fail "$(cat a.csv)"
    [[ $(run -q -i "$data/line.csv" fill-gaps -c mag --max-gap 0 | field /dev/stdin 4 5) == "" ]] || fail "max-gap"
    # lag by 5 m: each row takes the next one's value, none across a gap or past the end.
    run -q -i "$data/line.csv" -o l.csv lag --column mag --shift 5 --along distance
    [[ $(cut -d, -f5 l.csv | tr '\n' ' ') == "mag 50011.5  50012.75 50013.0 50213.0 50014.5  50016.0 50016.25  " ]] || fail "lag: $(cat l.csv)"
    # decimate thins every column line by line; the short line has no filtered values.
    [[ $(run -q -i "$data/lines.csv" decimate -c mag -m 2 | cut -d, -f2,4 | tr '\n' ' ') == "x,mag 0, 6, 9, 3, " ]] ||
      fail "decimate: $(run -q -i "$data/lines.csv" decimate -c mag -m 2)"
    expect_error "lag: line 20: 'x' must increase" -i "$data/lines.csv" -o out.csv lag -c mag -s 1 --along x
    expect_error "decimate: --factor" -i "$data/line.csv" -o out.csv decimate -c mag --factor 0
    expect_error "hampel: --half-width" -i "$data/line.csv" -o out.csv hampel -c mag --half-width 0
    ;;
  limits)
    run -q -i "$data/line.csv" -o inside.csv clip --column fid --min 3 --max 5 --inside --exclude-max
    [[ $(cut -d, -f1 inside.csv | tr '\n' ' ') == "fid 1 2   5 6 7 8 9 10 " ]] || fail "clip inside"
    # Subcommands repeat in a chain, in the order given.
    run -q -i "$data/line.csv" -o clamp.csv clamp --column mag --max 50100 clamp --column mag --min 50012
    [[ $(field clamp.csv 7 5) == 50100.0 && $(field clamp.csv 2 5) == 50012.0 ]] || fail "clamp"
    run -q -i "$data/line.csv" -o log.csv log --column fid log --column x --base e --scaled 100
    [[ $(field log.csv 2 1) == '' && $(field log.csv 11 1) == 1.0 && $(field log.csv 3 2) == 102.955880224154* ]] ||
      fail "log: $(cut -d, -f1,2 log.csv)"
    ;;
  spectrum)
    run -q -i "$data/line.csv" spectrum --column fid --output fid.csv --spacing 5 >table.csv
    [[ ! -s table.csv ]] || fail "a report-only chain wrote the table"
    expect_file <(sed -n '2p;7p' fid.csv) <<'T'
0,0.0,5.5
5,0.1,0.5
T
    run -q -i "$data/lines.csv" spectrum --column x --output x.csv
    [[ $(cut -d, -f1,2 x.csv | tr '\n' ' ') == "line,k 10,0 10,1 10,2 20,0 20,1 20,2 " ]] || fail "$(cat x.csv)"
    expect_error "holds 2 dummies on the survey" -i "$data/line.csv" spectrum --column mag --output mag.csv
    ;;
  help)
    [[ $(run --help) == *fill-gaps* ]] || fail "global help"
    for command in stats despike fill-gaps resample filter clip clamp log distance spectrum hampel lag decimate; do
      run "$command" --help >help.txt
      grep -q "Example:" help.txt && grep -q "vorlith-line.*$command" help.txt || fail "$command --help"
    done
    ;;
  errors)
    echo keep >out.csv
    expect_error "unknown column 'nope' (the columns are: fid, x, y, distance, mag)" \
      -i "$data/line.csv" -o out.csv despike --column nope
    expect_error "text.csv: record 3: field mag: 'oops' in a numeric column" -i "$data/text.csv" -o out.csv
    expect_error "ragged.csv: record 3: 1 fields where the header has 2" -i "$data/ragged.csv" -o out.csv
    expect_error "split on tab but 5 columns on comma: is the delimiter wrong?" -i "$data/line.csv" -d tab -o out.csv
    expect_error "despike: --width" -i "$data/line.csv" -o out.csv despike --column mag --width 0
    expect_error "give a kernel" -i "$data/line.csv" -o out.csv filter --column mag
    expect_error "value 2 is not a finite number" -i "$data/line.csv" -o out.csv filter --column mag --kernel 1,x
    expect_error "--min must not exceed --max" -i "$data/line.csv" -o out.csv clip --column mag --min 2 --max 1
    expect_error "give --min, --max or both" -i "$data/line.csv" -o out.csv clamp --column mag
    expect_error "not expected" -i "$data/line.csv" -o out.csv stats extra
    expect_error "no line of the survey matches" -i "$data/lines.csv" -o out.csv --lines 30
    expect_error "cannot open missing.csv" -i missing.csv -o out.csv
    expect_error "standard input: holds no header row" -o out.csv
    expect_error "cannot write nowhere/out.csv" -i "$data/line.csv" -o nowhere/out.csv
    chmod a-w out.csv
    [[ $(id -u) -eq 0 ]] || expect_error "cannot write out.csv" -i "$data/line.csv" -o out.csv
    chmod u+w out.csv
    # A later failure leaves no earlier subcommand's output either.
    expect_error "unknown column 'nope'" -i "$data/line.csv" -o out.csv spectrum --column x --output s.csv \
      clamp --column nope --min 0
    ;;
  level)
    # Three ties and five traverse lines on the field x + y, each line off by its own
    # constant: after levelling every crossing agrees and mag_lev is the field (tie 9000,
    # the reference, has no error).
    awk 'BEGIN { print "line,x,y,mag"
      for (t = 0; t < 3; ++t) for (s = 0; s <= 12; ++s) print 9000 + t "," s "," 2 + 4 * t "," s + 2 + 5 * t
      for (l = 1; l <= 5; ++l) for (s = 12; s >= 0; --s) print l "," 2 * l "," s "," 12 * l + s }' >grid.csv
    run -i grid.csv -o out.csv level --channel mag --ties 9000-9002 --worst 1 >report.txt 2>summary.txt
    grep -qx "level mag: 15 usable crossings, rms 32.275 before, 0.000 after, into mag_lev" <(sed 's/^vorlith-line: //' summary.txt) ||
      fail "summary: $(cat summary.txt)"
    grep -q "^ *5  line  constant  *3  *0  *50.000" report.txt || fail "report: $(cat report.txt)"
    awk -F, 'NR > 1 && ($5 - $2 - $3) ^ 2 > 1e-18 { exit 1 }' out.csv || fail "mag_lev is not x + y"
    expect_error "no line of the survey matches the ties '5000'" -i grid.csv -o out2.csv level -c mag --ties 5000
    expect_error "unknown column 'east'" -i grid.csv -o out2.csv level -c mag --ties 9000 --x east
    expect_error "every line is a tie" -i grid.csv -o out2.csv level -c mag --ties 1-9999
    expect_error "--along time needs --time" -i grid.csv -o out2.csv level -c mag --ties 9000 --model linear --along time
    ;;
  *)
    fail "no such case"
    ;;
esac
