# DSL dictionaries that are cut short, malformed or built to exhaust the reader: each loads
# what it can, says what is wrong naming the file, and stays within its time and memory.

# Runs `info` on $1 with 1 GB of address space and 20 s; its messages go to dsl.err.
stress_dsl_info_bounded() {
  (ulimit -v $((1024 * 1024)); timeout 20 "$CLI" --lang en -q info "$1" >/dev/null 2>dsl.err)
  local status=$?
  [ "$status" -le 1 ] || { echo "info ended with status $status"; cat dsl.err; return 1; }
}

case_dsl_truncated_compressed_file_names_it() {
  python3 - <<'PY' || return 1
import gzip, random
random.seed(7)
cards = "".join("w%06d\n\t[m1]%s[/m]\n" % (i, "".join(random.choice("abcdefgh ") for _ in range(60)))
                for i in range(20000))
data = gzip.compress(("\ufeff#NAME \"Cut\"\n" + cards).encode("utf-16-le"))
open("cut.dsl.dz", "wb").write(data[: len(data) // 2])
PY
  stress_dsl_info_bounded cut.dsl.dz || return 1
  grep -q 'cut.dsl.dz' dsl.err || { echo "the damage was not reported by file name"; cat dsl.err; return 1; }
}

case_dsl_odd_length_utf16_names_it() {
  printf '\xff\xfea\x00\n\x00\t\x00b\x00\n\x00c' >odd.dsl
  stress_dsl_info_bounded odd.dsl || return 1
  grep -q 'odd.dsl' dsl.err || { echo "the half character was not reported"; cat dsl.err; return 1; }
}

# Tags, media and references left open, nested 100,000 deep, on one line and across
# 100,000 lines; a line of 64 MB without a break; 100,000 headwords sharing a body.
case_dsl_unterminated_and_deep_markup_stays_bounded() {
  python3 - <<'PY' || return 1
with open("deep.dsl", "w") as f:
    f.write("deep\n\t" + "[b][i][c red][s]<<(" * 100000 + "\n")
    f.write("open\n" + "\t[m9][[[[ \\\n" * 100000)
    f.write("long\n\t" + "[" * (64 << 20) + "\n")
    f.write("".join("h%d\n" % i for i in range(100000)) + "\t" + "~" * 100000 + "\n")
    f.write("last\n\tkept\n")
PY
  stress_dsl_info_bounded deep.dsl || return 1
  grep -q 'deep.dsl' dsl.err || { echo "the cut line was not reported"; cat dsl.err; return 1; }
  (ulimit -v $((1024 * 1024)); timeout 30 "$CLI" --lang en -q pack -o deep.lxp deep.dsl 2>/dev/null)
  "$CLI" inspect deep.lxp last | grep -q kept || { echo "the card after them was lost"; return 1; }
}

# Lines that look like HTML at every step: a '<' with a tag's name and no '>' (looking for the
# '>' at each would cost the line its square), '&' without ';', tags 300,000 deep, a comment
# left open, and a headword that `~` puts into HTML.
case_dsl_html_lines_stay_bounded() {
  python3 - <<'PY' || return 1
with open("html.dsl", "w") as f:
    f.write("open\n\t" + "<b " * 300000 + "\n")
    f.write("amp\n\t" + "&amp" * 200000 + "\n")
    f.write("deep\n\t" + "<b><i>" * 150000 + "x\n")
    f.write("comment\n\ta<br><!-- " + "x" * 500000 + "\n")
    f.write("a&amp;b\n\t" + "~<br>" * 100000 + "\n")
    f.write("last\n\tkept <b>bold</b>\n")
PY
  stress_dsl_info_bounded html.dsl || return 1
  # About a second when each line costs its length; a quarter of a minute at its square.
  (ulimit -v $((1024 * 1024)); timeout 10 "$CLI" --lang en -q pack -o html.lxp html.dsl 2>/dev/null) ||
    { echo "packing took too long or failed"; return 1; }
  "$CLI" inspect html.lxp last | grep -q 'kept bold' || { echo "the card after them was lost"; return 1; }
}
