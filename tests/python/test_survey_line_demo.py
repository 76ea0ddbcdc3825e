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


@pytest.fixture(scope="module")
def demo(tmp_path_factory):
    out = tmp_path_factory.mktemp("demo")
    run = run_script("examples/survey_line_demo.py", "--samples", "3000", "--seed", "5", "--out", str(out))
    assert run.returncode == 0, run.stderr
    return out, run.stdout


def test_demo_summary_and_files(demo):
    out, text = demo
    number = {label: int(value) for label, value in re.findall(r"^([a-z ]+): (\d+)", text, re.MULTILINE)}
    injected = int(re.search(r"spikes removed: \d+ \((\d+) injected\)", text).group(1))
    assert number["survey line"] == 3000 and number["gaps filled"] >= 3
    assert 0 < injected <= number["spikes removed"] <= 3 * injected
    for step in ("despike", "predict gaps", "akima resample", "low-pass 31 taps", "spectrum"):
        assert re.search(rf"^  {step}\s+\d+\.\d+$", text, re.MULTILINE), step
    with open(out / "survey_line.csv", newline="") as f:
        rows = list(csv.DictReader(f))
    assert len(rows) == 3000 and list(rows[0])[:5] == ["fid", "x", "y", "distance", "mag"]
    gaps = [r for r in rows if r["mag"] == "*"]  # raw dummies stay, the filled channel has none
    assert gaps and all(r["mag_despiked"] == "*" and 50000.0 < float(r["mag_filled"]) < 53000.0 for r in gaps)
    assert all(r["mag_filled"] != "*" for r in rows)
    distance = [float(r["distance"]) for r in rows]
    assert all(b > a for a, b in zip(distance, distance[1:]))
    with open(out / "survey_line_resampled.csv", newline="") as f:
        rows = list(csv.DictReader(f))
    assert {round(float(b["distance"]) - float(a["distance"]), 6) for a, b in zip(rows, rows[1:])} == {5.0}
    # The 31-tap filter leaves 15 samples without a full window at each end.
    lowpass = [r["mag_lowpass"] for r in rows]
    assert lowpass[:15] == lowpass[-15:] == ["*"] * 15 and "*" not in lowpass[15:-15]
    with open(out / "survey_line.png", "rb") as f:
        assert f.read(8) == b"\x89PNG\r\n\x1a\n"


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
