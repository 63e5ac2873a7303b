# Sourced by the scripts that load the add-in into the stand-in host: its class and registry keys.

tvx_addin_clsid='{1AD2230B-474E-46A1-9E25-9DF73EBF3393}'
# The keys the installer package writes for the add-in (the class, listed in the host's Add-in
# Manager, started with the host), as a file for regedit, and a second file that takes them away.
# The same values as the package and DllRegisterServer; REGEDIT4 files are read in the ANSI code page.
tvx_addin_keys() { # CLSID DLL(windows path) TITLE ADD.reg REMOVE.reg
  # The Add-in Manager's icon beside the DLL.
  local icon="${2%\\*}\\Tarvenix_20.bmp"
  iconv -f UTF-8 -t WINDOWS-1252 >"$4" <<REG
REGEDIT4

[HKEY_CLASSES_ROOT\\CLSID\\$1]
@="Tarvenix"

[HKEY_CLASSES_ROOT\\CLSID\\$1\\InprocServer32]
@="${2//\\/\\\\}"
"ThreadingModel"="Apartment"

[HKEY_LOCAL_MACHINE\\SOFTWARE\\SOLIDWORKS\\AddIns\\$1]
@=dword:00000001
"Title"="$3"
"Description"="Allgemeine Oberflächenangabe für Zeichnungen"
"Icon Path"="${icon//\\/\\\\}"

[HKEY_CURRENT_USER\\Software\\SolidWorks\\AddInsStartup\\$1]
@=dword:00000001
REG
  cat >"$5" <<REG
REGEDIT4

[-HKEY_CLASSES_ROOT\\CLSID\\$1]
[-HKEY_LOCAL_MACHINE\\SOFTWARE\\SOLIDWORKS\\AddIns\\$1]
[-HKEY_CURRENT_USER\\Software\\SolidWorks\\AddInsStartup\\$1]
REG
}
