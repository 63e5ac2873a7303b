# The dialogs use "Microsoft Sans Serif", the TrueType twin of "MS Sans Serif", at display scales
# for which the bitmap font has no size. Wine ships no such face; Liberation Sans, of about its
# widths, stands in (Wine's own Tahoma draws no true bold), as osifont does for the drawing font.
cat >>"$tvx_reg_file" <<'REG'

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Microsoft Sans Serif"="Liberation Sans"
REG
