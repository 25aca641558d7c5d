#!/usr/bin/python3
# -*- coding: utf-8 -*-
# Applies a TOVRA printer settings file to one printer through
# tovra-printer-ctl, which does the printer's side of the work.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r'''
---
module: tovra_printer_settings
short_description: Keep a TOVRA network receipt printer on a settings file
description:
  - Runs C(tovra-printer-ctl apply FILE PRINTER --json) on the controller
    (a local connection, or delegated to localhost) and reports what changed
    on the printer.
  - Only the groups and fields the settings file holds are touched; a field
    that already has its value is not written.
  - In check mode the printer is read but not written (C(--check)).
  - In diff mode the changed fields are shown before and after. The Wi-Fi
    password is always shown masked.
options:
  printer:
    description: The printer, C(ADDRESS[:PORT]), C(usb) or C(usb:PATH).
    type: str
    required: true
  settings_file:
    description: The settings file (JSON, as C(tovra-printer-ctl backup) writes it).
    type: path
    required: true
  vars_file:
    description:
      - CSV of per-printer values, C(sn,<dotted name>,...); the row of the
        printer's serial number overrides the file.
      - Needed when the file sets a static address (C(ethernet.static_ip) or
        C(wifi.static_ip)), which would otherwise go to every printer of the play.
    type: path
  fonts_dir:
    description: Where font files the printer lacks are taken from (default the settings file's folder).
    type: path
  ctl:
    description: Path of C(tovra-printer-ctl); by default it is looked up in PATH.
    type: path
  timeout:
    description: Timeout of each step with the printer, in seconds (default that of C(tovra-printer-ctl)).
    type: int
attributes:
  check_mode:
    support: full
  diff_mode:
    support: full
author:
  - TOVRA
'''

EXAMPLES = r'''
- name: The shop's printers carry the shop's settings
  tovra_printer_settings:
    printer: "{{ printer_address }}"
    settings_file: files/shop-settings.json
    vars_file: files/shop-addresses.csv
  delegate_to: localhost
'''

RETURN = r'''
status:
  description: What happened, C(changed), C(unchanged) or C(would-change) (check mode).
  returned: success
  type: str
sn:
  description: The printer's serial number.
  returned: success
  type: str
model:
  description: The printer's model.
  returned: success
  type: str
project:
  description: The printer's project name.
  returned: success
  type: str
changes:
  description: The fields that changed (or would change), by dotted name.
  returned: success
  type: list
  elements: dict
  sample: [{"name": "print.density", "before": 100, "after": 110}]
notes:
  description: Groups skipped, and why (a model without Wi-Fi, for example).
  returned: success
  type: list
  elements: str
'''

import json
import os

from ansible.module_utils.basic import AnsibleModule

MASK = '********'
PASSWORD_FIELD = 'wifi.password'


def read_inputs(settings_file, vars_file):
    """The Wi-Fi passwords the inputs hold, to be kept out of every output,
    and whether the file sets a static address."""
    found = set()
    static = False
    try:
        with open(settings_file, encoding='utf-8') as handle:
            settings = json.load(handle)
        wifi = settings.get('wifi', {})
        if isinstance(wifi, dict) and isinstance(wifi.get('password'), str):
            found.add(wifi['password'])
        static = any(isinstance(settings.get(group), dict) and 'static_ip' in settings[group]
                     for group in ('ethernet', 'wifi'))
    except (OSError, ValueError, AttributeError):
        pass  # tovra-printer-ctl names what is wrong with the file
    if vars_file:
        import csv
        try:
            with open(vars_file, encoding='utf-8', newline='') as handle:
                rows = list(csv.reader(handle))
            if rows and PASSWORD_FIELD in rows[0]:
                column = rows[0].index(PASSWORD_FIELD)
                found.update(row[column] for row in rows[1:] if len(row) > column)
        except (OSError, ValueError, csv.Error):
            pass
    return {password for password in found if password}, static


def masked(change):
    if change.get('name') == PASSWORD_FIELD:
        return dict(change, before=MASK, after=MASK)
    return change


def diff_text(changes, side):
    return ''.join('%s: %s\n' % (c.get('name'), json.dumps(c.get(side), ensure_ascii=False)) for c in changes)


def main():
    module = AnsibleModule(
        argument_spec=dict(
            printer=dict(type='str', required=True),
            settings_file=dict(type='path', required=True),
            vars_file=dict(type='path'),
            fonts_dir=dict(type='path'),
            ctl=dict(type='path'),
            timeout=dict(type='int'),
        ),
        supports_check_mode=True,
    )
    params = module.params
    secrets, static = read_inputs(params['settings_file'], params['vars_file'])
    for secret in secrets:
        module.no_log_values.add(secret)
    # Each task applies to one printer, so tovra-printer-ctl cannot see that
    # a play gives the same address to many.
    if static and not params['vars_file']:
        module.fail_json(msg='%s sets a static address: give vars_file with a row per printer, '
                             'or the printers would all take the same address' % params['settings_file'])

    ctl = params['ctl'] or module.get_bin_path('tovra-printer-ctl', required=True)
    if not os.access(ctl, os.X_OK):
        module.fail_json(msg='%s is not an executable' % ctl)
    command = [ctl, '--json']
    if params['timeout'] is not None:
        if params['timeout'] <= 0:
            module.fail_json(msg='timeout must be a positive number of seconds')
        command += ['--timeout', str(params['timeout'] * 1000)]
    command += ['apply', params['settings_file'], params['printer']]
    if module.check_mode:
        command.append('--check')
    if params['vars_file']:
        command += ['--vars', params['vars_file']]
    if params['fonts_dir']:
        command += ['--fonts-dir', params['fonts_dir']]

    rc, stdout, stderr = module.run_command(command)
    try:
        report = json.loads(stdout)
    except ValueError:
        report = None
    if not isinstance(report, dict) or not report.get('printers'):
        # Bad input is refused before any printer is reached, with the
        # error alone.
        error = report.get('error') if isinstance(report, dict) else None
        module.fail_json(msg=error or stderr.strip() or stdout.strip()
                         or 'tovra-printer-ctl exited with status %d' % rc, rc=rc, cmd=command)
    printer = report['printers'][0]

    changes = [masked(change) for change in printer.get('changes') or []]
    result = dict(
        status=printer.get('status'),
        sn=printer.get('sn'),
        model=printer.get('model'),
        project=printer.get('project'),
        changes=changes,
        notes=printer.get('notes') or [],
    )
    if printer.get('status') == 'error' or rc == 1:
        module.fail_json(msg=printer.get('error') or stderr.strip() or 'the printer failed', rc=rc, **result)

    result['changed'] = printer.get('status') in ('changed', 'would-change')
    if module._diff and changes:
        label = '%s (%s)' % (params['printer'], printer.get('sn'))
        result['diff'] = dict(before=diff_text(changes, 'before'), after=diff_text(changes, 'after'),
                              before_header=label, after_header=label)
    module.exit_json(**result)


if __name__ == '__main__':
    main()
