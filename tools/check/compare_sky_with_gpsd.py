#!/usr/bin/env python3
# SPDX-License-Identifier: BSD-2-Clause
"""Replays recorded NMEA logs through a pseudo-terminal into `gpsdesk --headless` and compares
its SKY and TPV reports with gpsd's own reading of the same log (the .chk file beside it).

gpsd builds its SKY anew each epoch, growing with every GSV sentence, so its picture is
compared where it is whole: at each SKY report with satellites that the next one does not
outgrow. The set of (gnssid, svid) in view and the set used of each such report must equal
those of some SKY report of GPS Desk; the last TPV position of both must agree within 1e-6
degrees.

usage: [REPLAY_SPEED=1] compare_sky_with_gpsd.py BUILD_DIR LOG...
(REPLAY_SPEED: gpsdesk's --speed, default "max"; 1 replays at the log's own pace)
"""
import json
import os
import subprocess
import sys


def reports(lines, name):
    out = []
    for line in lines:
        line = line.strip()
        if not line.startswith('{'):
            continue
        try:
            report = json.loads(line)
        except ValueError:
            continue
        if report.get('class') == name:
            out.append(report)
    return out


def sky_sets(report):
    seen = frozenset((s.get('gnssid', 0), s.get('svid', s.get('PRN'))) for s in report['satellites'])
    used = frozenset((s.get('gnssid', 0), s.get('svid', s.get('PRN')))
                     for s in report['satellites'] if s.get('used'))
    return seen, used


def last_fix(tpvs):
    for report in reversed(tpvs):
        if 'lat' in report and 'lon' in report:
            return report['lat'], report['lon']
    return None


def epochs(log):
    with open(log, errors='replace') as f:
        lines = f.readlines()
    return max(sum(1 for line in lines if line[3:6] == kind) for kind in ('RMC', 'GGA'))


def run(build, log, seconds):
    # The program's own replay: the simulator holds the log until GPS Desk has set up the
    # receiver, then sends it through its pseudo-terminal into the normal reader.
    desk = subprocess.run([os.path.join(build, 'qt/gpsdesk'), '--headless', '--replay', log,
                           '--speed', os.environ.get('REPLAY_SPEED', 'max'),
                           '--quit-after', str(seconds)], capture_output=True, text=True)
    return desk.stdout.splitlines()


def main():
    build, logs = sys.argv[1], sys.argv[2:]
    failures = 0
    for log in logs:
        with open(log + '.chk', errors='replace') as chk:
            theirs = chk.read().splitlines()
        # At the log's pace a satellite no longer reported is dropped after 10 s, as gpsd's
        # picture drops it; as fast as possible nothing ever ages.
        seconds = float(os.environ.get('SECONDS_PER_LOG', '0')) or epochs(log) + 12
        ours = run(build, log, seconds)
        skies = [sky_sets(r) for r in reports(theirs, 'SKY') if r.get('satellites')]
        their_sky = [s for i, s in enumerate(skies)
                     if i + 1 == len(skies) or len(skies[i + 1][0]) <= len(s[0])]
        our_sky = {sky_sets(r) for r in reports(ours, 'SKY') if r.get('satellites')}
        matched = sum(1 for s in their_sky if s in our_sky)
        their_fix, our_fix = last_fix(reports(theirs, 'TPV')), last_fix(reports(ours, 'TPV'))
        fix_ok = (their_fix is None and our_fix is None) or (
            their_fix is not None and our_fix is not None and
            abs(their_fix[0] - our_fix[0]) <= 1e-6 and abs(their_fix[1] - our_fix[1]) <= 1e-6)
        print('%-40s gpsd SKY %3d  matched %3d  last fix %s %s' % (
            os.path.basename(log), len(their_sky), matched, 'agrees' if fix_ok else 'DIFFERS',
            '' if fix_ok else '(gpsd %s, GPS Desk %s)' % (their_fix, our_fix)))
        if matched != len(their_sky) or not fix_ok:
            missing = [i for i, s in enumerate(their_sky) if s not in our_sky]
            print('    unmatched gpsd reports (of %d): %s' % (len(their_sky), missing))
            failures += 1
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
