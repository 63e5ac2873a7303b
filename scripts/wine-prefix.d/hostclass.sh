# The stand-in host server (tools/hostserver) registers its application object in the running
# object table under its own class ID; the program finds it by the host's class name, so the
# name must lead to that ID. Keep the ID equal to kStandInHostClsid in tools/hostserver/host_class.h.
cat >>"$tvx_reg_file" <<'REG'

[HKEY_CLASSES_ROOT\SldWorks.Application\CLSID]
@="{1A2718F0-B58B-4E44-B7D5-9FE3E2AD48C9}"
REG
