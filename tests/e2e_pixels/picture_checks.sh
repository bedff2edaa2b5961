# Sourced by the pixel tests: the checks of two screenshots of the area,
# before.xwd and after.xwd, taken before and after the labels moved, against
# reference.png (the picture stretched to the area). Needs $area (the
# area's geometry in the shots, WxH+X+Y); sets $status to 1 on a failure.

# Per cell: the shot's mean grey and the reference's, one line each.
cells() {
  convert "$1" -scale '102x34!' -colorspace gray -depth 8 txt:- | tail -n +2 |
    awk '{ sub(/,.*/, "", $2); sub(/^\(/, "", $2); print $1, $2 }'
}
# The label cells: dark on the screen where the picture is light.
dark_cells() {
  convert "$1.xwd" -crop "$area" +repage "$1-area.png"
  cells "$1-area.png" >"$1.txt"
  paste -d' ' "$1.txt" reference.txt | awk '$2 < 40 && $4 > 90 { n++ } END { print n + 0 }'
}
# The mean difference per channel at a quarter of the size, where a dither
# averages out.
difference() {
  convert "$1-area.png" reference.png -scale 25% -metric MAE -compare -format '%[distortion]' info:
}

# The area looks like the picture before and after; about as many label
# cells after as before (the cells a label left show the picture again);
# and the labels moved.
check_picture_and_labels() {
  cells reference.png >reference.txt
  local dark_before dark_after diff_before diff_after moved
  dark_before=$(dark_cells before)
  dark_after=$(dark_cells after)
  diff_before=$(difference before)
  diff_after=$(difference after)
  moved=$(convert before-area.png after-area.png -metric AE -compare -format '%[distortion]' info: 2>&1 || true)
  echo "label cells: $dark_before before, $dark_after after; difference from the picture:" \
    "$(awk -v d="$diff_before" 'BEGIN{printf "%.2f", d*255}') before," \
    "$(awk -v d="$diff_after" 'BEGIN{printf "%.2f", d*255}') after; pixels changed by the turns: $moved"
  awk -v b="$dark_before" -v a="$dark_after" \
    'BEGIN { exit !(b >= 12 && a >= 12 && a <= b * 1.3 && b <= a * 1.3) }' ||
    { echo "FAIL: label cells do not look right" >&2; status=1; }
  awk -v b="$diff_before" -v a="$diff_after" 'BEGIN { exit !(b * 255 <= 12 && a * 255 <= 12) }' ||
    { echo "FAIL: the area does not look like the picture" >&2; status=1; }
  [ "${moved%%.*}" -gt 1000 ] || { echo "FAIL: the labels did not move" >&2; status=1; }
}
