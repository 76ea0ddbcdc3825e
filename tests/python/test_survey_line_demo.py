"""End-to-end runs of the survey-line demo and the peer benchmark's quick mode."""

import csv
import os
import re
import subprocess
import sys

import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def run_script(*args):
    return subprocess.run([sys.executable, *args], capture_output=True, text=True, timeout=600, cwd=ROOT)


def test_demo_runs_and_writes_its_files(tmp_path):
    run = run_script("examples/survey_line_demo.py", "--samples", "3000", "--seed", "5", "--out", str(tmp_path))
    assert run.returncode == 0, run.stderr
    assert run.stdout.startswith("survey line: 3000 samples") and "spikes removed" in run.stdout
    with open(tmp_path / "survey_line.csv", newline="") as f:
        rows = list(csv.DictReader(f))
    # Raw dummies stay; the filled channel has none.
    assert len(rows) == 3000 and any(r["mag"] == "*" for r in rows) and all(r["mag_filled"] != "*" for r in rows)
    with open(tmp_path / "survey_line_resampled.csv", newline="") as f:
        lowpass = [r["mag_lowpass"] for r in csv.DictReader(f)]
    # The 31-tap filter leaves 15 samples without a full window at each end.
    assert lowpass[:15] == lowpass[-15:] == ["*"] * 15 and "*" not in lowpass[15:-15]
    assert (tmp_path / "survey_line.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"


def test_peer_benchmark_quick_mode_runs_and_agrees():
    run = run_script("bench/peers.py", "--quick")
    assert run.returncode == 0, run.stdout + run.stderr
    for case in ("mean", "compute_range", "add", "sort_index", "akima", "convolution", "rfft_1d_forward"):
        assert case in run.stdout


def test_readme_python_quick_start_runs():
    with open(os.path.join(ROOT, "README.md"), encoding="utf-8") as f:
        block = re.search(r"```python\n(.*?)```", f.read(), re.DOTALL).group(1)
    scope = {}
    exec(compile(block, "README.md", "exec"), scope)
    # The gap is predicted and the spike replaced, as the comments there say.
    assert list(scope["view"]) == pytest.approx([51210.0, 51212.5, 51212.75, 51213.0, 51213.0 + 1 / 3, 51214.0, 51213.5,
                                                 51215.0])
