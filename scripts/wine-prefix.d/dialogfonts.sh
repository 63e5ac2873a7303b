# The dialogs use "Microsoft Sans Serif", the TrueType twin of "MS Sans Serif", at display scales
# for which the bitmap font has no size. Wine ships no such face; DejaVu Sans stands in, as
# osifont does for the drawing font (Wine's own Tahoma would do, but draws no true bold).
cat >>"$tvx_reg_file" <<'REG'

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Microsoft Sans Serif"="DejaVu Sans"
REG
