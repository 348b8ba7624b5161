#!/usr/bin/env python3
"""Replays recorded NMEA logs through a pseudo-terminal into `gpsdesk --headless` and compares
its SKY and TPV reports with gpsd's own reading of the same log (the .chk file beside it).

For every SKY report of gpsd that lists satellites, the set of (gnssid, svid) in view and
the set used must equal those of some SKY report of GPS Desk; the last TPV position of both
must agree within 1e-6 degrees.

usage: compare_sky_with_gpsd.py BUILD_DIR LOG...
"""
import json
import os
import subprocess
import sys
import tempfile
import time


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


def run(build, log, seconds):
    folder = tempfile.mkdtemp()
    link = os.path.join(folder, 'gps')
    sim = subprocess.Popen([os.path.join(build, 'tools/sim/gpsdesk-sim'), '--replay', log,
                            '--speedup', '8', '--link', link, '--duration', str(seconds + 5)],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(50):
        if os.path.exists(link):
            break
        time.sleep(0.1)
    desk = subprocess.run([os.path.join(build, 'platform/qt/gpsdesk'), '--headless', '--port', link,
                           '--quit-after', str(seconds)], capture_output=True, text=True)
    sim.kill()
    sim.wait()
    return desk.stdout.splitlines()


def main():
    build, logs = sys.argv[1], sys.argv[2:]
    failures = 0
    for log in logs:
        with open(log + '.chk', errors='replace') as chk:
            theirs = chk.read().splitlines()
        with open(log, errors='replace') as f:
            cycles = sum(1 for line in f if line[3:6] in ('RMC', 'GGA')) // 2 + 1
        ours = run(build, log, min(60, max(8, cycles / 8 + 6)))
        their_sky = [sky_sets(r) for r in reports(theirs, 'SKY') if r.get('satellites')]
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
            failures += 1
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
