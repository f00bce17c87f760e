#!/usr/bin/env python3
"""Writes the installer's WiX source for wixl from the Windows build's bin folder.

    make_wxs.py <bin folder> <version> <out.wxs>

File sources are relative to the bin folder: run wixl there.

Per-machine: C:\\Program Files\\Mailvane\\ with Mailvane.exe, Quorvex.exe and
mailvane-convert.exe beside it for scripts, HAND-M.CUR, drag.ico and Samples\\, a Start-menu shortcut and an entry
in the installed programs. The user's settings (HKCU\\Software\\VB and VBA Program
Settings\\Velmora\\Mailvane) are the program's, not the installer's: uninstalling
leaves them.
"""
import os
import sys
import uuid
from xml.sax.saxutils import quoteattr

# Fixed for every version, so a new version replaces the old one.
UPGRADE_CODE = "7D3C6E2A-4B1F-4E8D-9A52-3C0B7F9E1D46"
NAMESPACE = uuid.UUID(UPGRADE_CODE)


def guid(name):
    return str(uuid.uuid5(NAMESPACE, name)).upper()


def main(bin_dir, version, out_path):
    samples = sorted(f for f in os.listdir(os.path.join(bin_dir, "Samples")) if f.endswith(".msg"))
    files = ["Mailvane.exe", "Quorvex.exe", "HAND-M.CUR", "drag.ico", "mailvane-convert.exe"]
    for name in files:
        if not os.path.isfile(os.path.join(bin_dir, name)):
            sys.exit(f"make_wxs.py: {bin_dir}/{name} is missing")
    if not samples:
        sys.exit(f"make_wxs.py: no samples in {bin_dir}/Samples")

    def file_element(ident, path, name):
        return f'<File Id="{ident}" Source={quoteattr(os.path.relpath(path, bin_dir))} Name={quoteattr(name)} KeyPath="yes"/>'

    program = []
    for i, name in enumerate(files):
        program.append(f'<Component Id="Program{i}" Guid="{guid("program/" + name)}" Win64="yes">'
                       f'{file_element(f"ProgramFile{i}", os.path.join(bin_dir, name), name)}</Component>')
    sample_components = []
    for i, name in enumerate(samples):
        sample_components.append(
            f'<Component Id="Sample{i}" Guid="{guid("sample/" + name)}" Win64="yes">'
            f'{file_element(f"SampleFile{i}", os.path.join(bin_dir, "Samples", name), name)}</Component>')
    refs = "".join(f'<ComponentRef Id="Program{i}"/>' for i in range(len(files)))
    refs += "".join(f'<ComponentRef Id="Sample{i}"/>' for i in range(len(samples)))
    refs += '<ComponentRef Id="StartMenuShortcut"/>'
    nl = "\n        "

    wxs = f"""<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name="Mailvane" Language="1033" Version="{version}" Manufacturer="Velmora"
           UpgradeCode="{UPGRADE_CODE}">
    <Package InstallerVersion="500" Compressed="yes" InstallScope="perMachine"
             Description="Mailvane {version}: converts Outlook .msg files to .eml" Manufacturer="Velmora"/>
    <Media Id="1" Cabinet="mailvane.cab" EmbedCab="yes"/>
    <MajorUpgrade DowngradeErrorMessage="A newer version of Mailvane is already installed."/>
    <Icon Id="MailvaneIcon" SourceFile="Mailvane.exe"/>
    <Property Id="ARPPRODUCTICON" Value="MailvaneIcon"/>
    <Property Id="ARPHELPLINK" Value="https://www.velmora.example/"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="ProgramFiles64Folder">
        <Directory Id="INSTALLDIR" Name="Mailvane">
        {nl.join(program)}
          <Directory Id="SamplesDir" Name="Samples">
        {nl.join(sample_components)}
          </Directory>
        </Directory>
      </Directory>
      <Directory Id="ProgramMenuFolder">
        <Component Id="StartMenuShortcut" Guid="{guid("shortcut")}" Win64="yes">
          <Shortcut Id="MailvaneShortcut" Name="Mailvane" Description="Convert Outlook .msg files to .eml"
                    Target="[INSTALLDIR]Mailvane.exe" WorkingDirectory="INSTALLDIR"/>
          <RegistryValue Root="HKCU" Key="Software\\Velmora\\Mailvane Installer" Name="StartMenuShortcut"
                         Type="integer" Value="1" KeyPath="yes"/>
        </Component>
      </Directory>
    </Directory>
    <Feature Id="Complete" Title="Mailvane" Level="1">
      {refs}
    </Feature>
  </Product>
</Wix>
"""
    with open(out_path, "w", encoding="utf-8") as out:
        out.write(wxs)


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
