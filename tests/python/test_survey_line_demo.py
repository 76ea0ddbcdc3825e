"""Smoke runs: the survey-line demo, the peer benchmark's quick mode, the README's quick start."""

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
    names = ("survey_line.csv", "survey_line_resampled.csv", "survey_line.png")
    assert all((tmp_path / name).stat().st_size > 0 for name in names)


def test_peer_benchmark_quick_mode_runs():
    run = run_script("bench/peers.py", "--quick")
    assert run.returncode == 0 and "rfft_1d_forward" in run.stdout, run.stdout + run.stderr


def test_readme_python_quick_start_runs():
    with open(os.path.join(ROOT, "README.md"), encoding="utf-8") as f:
        block = re.search(r"```python\n(.*?)```", f.read(), re.DOTALL).group(1)
    scope = {}
    exec(compile(block, "README.md", "exec"), scope)
    # The gap is predicted and the spike replaced, as the comments there say.
    assert list(scope["view"]) == pytest.approx([51210.0, 51212.5, 51212.75, 51213.0, 51213.0 + 1 / 3, 51214.0, 51213.5,
                                                 51215.0])
