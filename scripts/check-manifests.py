#!/usr/bin/env python3
"""Checks the install manifests that scripts/package.sh writes into dist/.

check-manifests.py DIST

winget (schema 1.6.0: version, installer and default-locale files) and
Scoop. Neither project's published JSON schema comes with a package of the
registries this project installs from, so each manifest is validated
(python3-jsonschema) against the fields, types and patterns that those
schemas document as required, plus the ones we use; then against the
archives themselves: the SHA-256 of each zip, the file names in the
download addresses, and the programs the manifests name inside the zips.
Prints one line per check and "N passed, N failed"; exits 1 on a failure.
"""
import hashlib
import json
import os
import re
import sys
import zipfile

import jsonschema
import yaml

# The parts of winget's 1.6.0 schemas that our manifests must meet.
WINGET_ID = r'^[^\.\s\\/:\*\?"<>\|\x01-\x1f]{1,32}(\.[^\.\s\\/:\*\?"<>\|\x01-\x1f]{1,32}){1,7}$'
WINGET_VERSION = r'^[^\\/:\*\?"<>\|\x01-\x1f]+$'
WINGET_MANIFEST_VERSION = r'^(0|[1-9][0-9]{0,3}|[1-5][0-9]{4}|6[0-4][0-9]{3}|65[0-4][0-9]{2}|655[0-2][0-9]|6553[0-5])(\.(0|[1-9][0-9]{0,3}|[1-5][0-9]{4}|6[0-4][0-9]{3}|65[0-4][0-9]{2}|655[0-2][0-9]|6553[0-5])){2}$'
WINGET_LOCALE = r'^([a-zA-Z]{2,3}|[iI]-[a-zA-Z]+|[xX]-[a-zA-Z]{1,8})(-[a-zA-Z]{1,8})*$'
WINGET_URL = {'type': 'string', 'pattern': r'^([Hh][Tt][Tt][Pp][Ss]?)://.+$', 'maxLength': 2048}
COMMON = {
    'PackageIdentifier': {'type': 'string', 'pattern': WINGET_ID, 'maxLength': 128},
    'PackageVersion': {'type': 'string', 'pattern': WINGET_VERSION, 'maxLength': 128},
    'ManifestVersion': {'type': 'string', 'pattern': WINGET_MANIFEST_VERSION},
}
WINGET_SCHEMAS = {
    'version': {
        'type': 'object',
        'required': ['PackageIdentifier', 'PackageVersion', 'DefaultLocale', 'ManifestType', 'ManifestVersion'],
        'properties': dict(COMMON, DefaultLocale={'type': 'string', 'pattern': WINGET_LOCALE},
                           ManifestType={'const': 'version'}),
    },
    'defaultLocale': {
        'type': 'object',
        'required': ['PackageIdentifier', 'PackageVersion', 'PackageLocale', 'Publisher', 'PackageName',
                     'License', 'ShortDescription', 'ManifestType', 'ManifestVersion'],
        'properties': dict(
            COMMON,
            PackageLocale={'type': 'string', 'pattern': WINGET_LOCALE},
            Publisher={'type': 'string', 'minLength': 2, 'maxLength': 256},
            PublisherUrl=WINGET_URL,
            PackageName={'type': 'string', 'minLength': 2, 'maxLength': 256},
            PackageUrl=WINGET_URL,
            License={'type': 'string', 'minLength': 3, 'maxLength': 512},
            Copyright={'type': 'string', 'minLength': 3, 'maxLength': 512},
            ShortDescription={'type': 'string', 'minLength': 3, 'maxLength': 256},
            Moniker={'type': 'string', 'pattern': r'^\S+$', 'minLength': 1, 'maxLength': 40},
            Tags={'type': 'array', 'maxItems': 16, 'uniqueItems': True,
                  'items': {'type': 'string', 'pattern': r'^\S+$', 'minLength': 1, 'maxLength': 40}},
            ManifestType={'const': 'defaultLocale'}),
    },
    'installer': {
        'type': 'object',
        'required': ['PackageIdentifier', 'PackageVersion', 'Installers', 'ManifestType', 'ManifestVersion'],
        'properties': dict(
            COMMON,
            InstallerType={'enum': ['msix', 'msi', 'appx', 'exe', 'zip', 'inno', 'nullsoft', 'wix', 'burn', 'pwa',
                                    'portable']},
            # A zip names what is inside it: the nested installer's type and files.
            NestedInstallerType={'enum': ['msix', 'msi', 'appx', 'exe', 'inno', 'nullsoft', 'wix', 'burn',
                                          'portable']},
            NestedInstallerFiles={
                'type': 'array', 'minItems': 1, 'maxItems': 1024, 'uniqueItems': True,
                'items': {'type': 'object', 'required': ['RelativeFilePath'], 'additionalProperties': False,
                          'properties': {'RelativeFilePath': {'type': 'string', 'minLength': 1, 'maxLength': 512},
                                         'PortableCommandAlias': {'type': 'string', 'minLength': 1,
                                                                  'maxLength': 40}}}},
            Commands={'type': 'array', 'maxItems': 16, 'uniqueItems': True,
                      'items': {'type': 'string', 'minLength': 1, 'maxLength': 40}},
            Installers={
                'type': 'array', 'minItems': 1, 'maxItems': 1024,
                'items': {'type': 'object', 'required': ['Architecture', 'InstallerUrl', 'InstallerSha256'],
                          'properties': {'Architecture': {'enum': ['x86', 'x64', 'arm', 'arm64', 'neutral']},
                                         'InstallerUrl': WINGET_URL,
                                         'InstallerSha256': {'type': 'string', 'pattern': r'^[A-Fa-f0-9]{64}$'}}}},
            ManifestType={'const': 'installer'}),
        # A zip installer must say what it holds.
        'if': {'properties': {'InstallerType': {'const': 'zip'}}, 'required': ['InstallerType']},
        'then': {'required': ['NestedInstallerType', 'NestedInstallerFiles']},
    },
}

# The parts of Scoop's manifest schema that ours must meet.
SCOOP_HASH = {'type': 'string', 'pattern': r'^([a-fA-F0-9]{64}|(sha1|sha256|sha512|md5):[a-fA-F0-9]+)$'}
SCOOP_ARCH = {'type': 'object', 'required': ['url', 'hash'],
              'properties': {'url': {'type': 'string', 'format': 'uri'}, 'hash': SCOOP_HASH}}
SCOOP_SCHEMA = {
    'type': 'object',
    'required': ['version', 'description', 'homepage', 'license'],
    'properties': {
        'version': {'type': 'string', 'pattern': r'^[\w\.\-+_]+$'},
        'description': {'type': 'string'},
        'homepage': {'type': 'string', 'format': 'uri'},
        'license': {'type': 'string'},
        'architecture': {'type': 'object', 'additionalProperties': False,
                         'properties': {'64bit': SCOOP_ARCH, '32bit': SCOOP_ARCH, 'arm64': SCOOP_ARCH}},
        'bin': {'anyOf': [{'type': 'string'},
                          {'type': 'array', 'items': {'anyOf': [
                              {'type': 'string'},
                              {'type': 'array', 'minItems': 1, 'items': {'type': 'string'}}]}}]},
        'shortcuts': {'type': 'array', 'items': {'type': 'array', 'minItems': 2, 'maxItems': 4,
                                                 'items': {'type': 'string'}}},
    },
    # Where it is downloaded from: one address, or one per architecture.
    'anyOf': [{'required': ['url', 'hash']}, {'required': ['architecture']}],
}

passed = failed = 0


def check(ok, what):
    global passed, failed
    print(('PASS  ' if ok else 'FAIL  ') + what)
    if ok:
        passed += 1
    else:
        failed += 1


def valid(document, schema, what):
    try:
        jsonschema.validate(document, schema)
        check(True, what)
    except jsonschema.ValidationError as error:
        check(False, f'{what}: {error.message} at {"/".join(str(p) for p in error.absolute_path)}')


def zip_names(path):
    with zipfile.ZipFile(path) as archive:
        return set(archive.namelist())


def main(dist):
    sums = {}
    with open(os.path.join(dist, 'SHA256SUMS')) as f:
        for line in f:
            digest, name = line.split()
            sums[name] = digest
    zips = {}
    for name, digest in sums.items():
        with open(os.path.join(dist, name), 'rb') as f:
            real = hashlib.sha256(f.read()).hexdigest()
        check(real == digest, f'{name}: SHA256SUMS holds its SHA-256')
        platform = 'x86' if name.endswith('-win32.zip') else 'x64'
        zips[platform] = (name, real, zip_names(os.path.join(dist, name)))
    check(set(zips) == {'x86', 'x64'}, 'both archives are there')
    version = re.match(r'Dunewright-(.+)-win(32|64)\.zip$', zips['x86'][0]).group(1)

    folder = os.path.join(dist, 'winget', 'manifests', 'b', 'BrackenmoorWorks', 'Dunewright', version)
    documents = {}
    for kind, suffix in (('version', ''), ('installer', '.installer'), ('defaultLocale', '.locale.en-US')):
        path = os.path.join(folder, f'BrackenmoorWorks.Dunewright{suffix}.yaml')
        with open(path, encoding='utf-8') as f:
            text = f.read()
        check(text.startswith(f'# yaml-language-server: $schema=https://aka.ms/winget-manifest.{kind}.1.6.0.schema.json\n'),
              f'winget {kind}: names its 1.6.0 schema')
        document = yaml.safe_load(text)
        documents[kind] = document
        valid(document, WINGET_SCHEMAS[kind], f'winget {kind}: required fields, types and patterns')
        check(document.get('ManifestVersion') == '1.6.0', f'winget {kind}: manifest version 1.6.0')
        check(document.get('PackageIdentifier') == 'BrackenmoorWorks.Dunewright'
              and document.get('PackageVersion') == version, f'winget {kind}: identifier and version {version}')
    check(documents['version'].get('DefaultLocale') == documents['defaultLocale'].get('PackageLocale'),
          'winget: the default locale has its file')
    installer = documents['installer']
    check(installer.get('InstallerType') == 'zip' and installer.get('NestedInstallerType') == 'portable',
          'winget: the zip is installed as a portable program')
    nested = installer.get('NestedInstallerFiles') or [{}]
    check(nested[0].get('RelativeFilePath') == 'Dunewright.com' and nested[0].get('PortableCommandAlias') == 'dunewright',
          'winget: the command alias dunewright runs the console program')
    by_arch = {each.get('Architecture'): each for each in installer.get('Installers', [])}
    for arch, (name, digest, names) in zips.items():
        entry = by_arch.get(arch, {})
        check(entry.get('InstallerSha256', '').lower() == digest, f'winget {arch}: the SHA-256 of {name}')
        check(entry.get('InstallerUrl', '').endswith('/' + name), f'winget {arch}: downloads {name}')
        check(all(each.get('RelativeFilePath') in names for each in nested), f'winget {arch}: {name} holds the alias target')

    with open(os.path.join(dist, 'scoop', 'dunewright.json'), encoding='utf-8') as f:
        scoop = json.load(f)
    valid(scoop, SCOOP_SCHEMA, 'scoop: required fields, types and patterns')
    check(scoop.get('version') == version, f'scoop: version {version}')
    for arch, key in (('x86', '32bit'), ('x64', '64bit')):
        name, digest, names = zips[arch]
        entry = scoop.get('architecture', {}).get(key, {})
        check(entry.get('hash', '').lower() == digest, f'scoop {key}: the SHA-256 of {name}')
        check(entry.get('url', '').endswith('/' + name), f'scoop {key}: downloads {name}')
        targets = [b[0] if isinstance(b, list) else b for b in scoop.get('bin', [])]
        targets += [s[0] for s in scoop.get('shortcuts', [])]
        check(bool(targets) and all(t in names for t in targets), f'scoop {key}: {name} holds bin and shortcut targets')
    check(['Dunewright.com', 'dunewright'] in scoop.get('bin', []), 'scoop: the command dunewright runs the console program')
    check(any(s[0] == 'Dunewright.exe' for s in scoop.get('shortcuts', [])), 'scoop: a shortcut starts the window program')
    bases = {entry.get('InstallerUrl', '').rsplit('/', 1)[0] for entry in installer.get('Installers', [])}
    bases |= {entry.get('url', '').rsplit('/', 1)[0] for entry in scoop.get('architecture', {}).values()}
    check(len(bases) == 1, 'one download base address for every archive')


if __name__ == '__main__':
    if len(sys.argv) != 2:
        sys.exit('usage: check-manifests.py DIST')
    try:
        main(sys.argv[1])
    except (OSError, KeyError, AttributeError, yaml.YAMLError, json.JSONDecodeError) as error:
        check(False, f'the manifests could not be read: {error} (run scripts/build.sh all first)')
    print(f'{passed} passed, {failed} failed')
    sys.exit(1 if failed else 0)
