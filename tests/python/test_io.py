"""vorlith.io: surveys read into channels and lines, per-line views, map_lines and write."""

import pathlib
import pickle
import subprocess
import sys

import numpy as np
import pytest

import vorlith

DATA = pathlib.Path(__file__).resolve().parents[1] / "data" / "aseg-gdf2"
BEDROCK = DATA / "Example_GroundMag_Bedrock_6000BC.dfn"


def test_read_gives_channels_lines_and_views():
    survey = vorlith.io.read(BEDROCK)
    assert survey.names[:3] == ["FLTLINE", "time", "EAST"] and survey.rows == 304
    east = survey.channel("EAST")
    assert (east.unit, east.format, east.null, east.dummy) == ("m", "F10.2", "-99999.99", vorlith.DUMMY_DOUBLE)
    assert survey.channel("elevation").dtype == np.int32  # I10
    lines = pickle.loads(pickle.dumps(survey.lines))  # the records travel to other processes
    assert [(l.label, l.first_row, l.row_count) for l in lines] == [("690", 0, 95), ("700", 95, 98), ("710", 193, 111)]
    second = survey.line(1)
    assert np.shares_memory(second["EAST"], survey["EAST"])  # a view, no copy
    np.testing.assert_array_equal(second["EAST"], survey["EAST"][95:193])
    assert survey.select_lines("695-720") == [1, 2]

    spectrum = vorlith.io.read(DATA / "Example_Rad256_SeasameSt_2008.dat")["RAW_SPEC"]
    assert spectrum.shape == (13, 256) and list(spectrum[0, :4]) == [92, 0, 0, 116]
    with pytest.raises(vorlith.io.SurveyError, match="definition file not found"):
        vorlith.io.read(DATA / "absent.dat")


def line_mean(channels):
    mag = channels["Mag_final"]
    return float(mag[mag != vorlith.DUMMY_DOUBLE].mean())


def test_map_lines_here_and_on_dask():
    distributed = pytest.importorskip("distributed")
    survey = vorlith.io.read(BEDROCK)
    here = survey.map_lines(line_mean)
    expected = [line_mean({"Mag_final": survey["Mag_final"][l.first_row:l.first_row + l.row_count]})
                for l in survey.lines]
    assert here == expected
    with distributed.Client(processes=False, n_workers=1, threads_per_worker=1, dashboard_address=None) as client:
        assert survey.map_lines(line_mean, client=client) == expected


@pytest.mark.parametrize("name", ["out.dfn", "out.csv"])
def test_write_reads_back_with_added_channels(tmp_path, name):
    survey = vorlith.io.read(BEDROCK)
    survey.add_channel("MAG_SMOOTH", np.arange(304) / 3.0, unit="nT")
    survey.add_channel("SITE", np.array([b"A %d" % (i % 3) for i in range(304)]))
    vorlith.io.write(survey, tmp_path / name, delimiter=";")
    back = vorlith.io.read(tmp_path / name)
    assert back.names == survey.names
    for channel in survey.channels:
        np.testing.assert_array_equal(back[channel.name], survey[channel.name])
    assert back.channel("MAG_SMOOTH").unit == ("nT" if name.endswith(".dfn") else "")
    with pytest.raises(vorlith.io.SurveyError, match="rows"):
        survey.add_channel("SHORT", np.zeros(3))


def test_survey_batch_example_writes_the_processed_lines(tmp_path):
    distributed = pytest.importorskip("distributed")  # noqa: F841
    root = pathlib.Path(__file__).resolve().parents[2]
    out = tmp_path / "batch.dfn"
    run = subprocess.run([sys.executable, str(root / "examples" / "survey_batch.py"), str(BEDROCK),
                          "--workers", "1", "--output", str(out)], capture_output=True, text=True, timeout=600)
    assert run.returncode == 0, run.stderr
    result = vorlith.io.read(out)
    assert result.names[-2:] == ["Mag_corr_DESPIKED", "Mag_corr_LOWPASS"] and len(result.lines) == 3
