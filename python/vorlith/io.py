"""Whole surveys: ASEG-GDF2 (.dfn/.dat) and delimited text, with their survey lines.

`read(path)` gives a `Survey`: its `channels` (name, unit, dummy, format), its `lines`
(label, number, first_row, row_count) and, per line, `survey.line(i)`, a dict of NumPy
views of the line's rows (no copies). `survey.map_lines(func)` runs `func` on every
line's dict, on a dask.distributed client when one is given. `write(survey, path)`
writes either format, chosen from the file name.
"""

from ._core import io as _io

Channel = _io.Channel
Line = _io.Line
Survey = _io.Survey
SurveyError = _io.SurveyError

__all__ = ["Channel", "Line", "Survey", "SurveyError", "read", "write"]


def read(path, *, line_field="", delimiter=None, format=None):
    """Reads a survey. `.dfn`/`.dat` names (or format="aseg-gdf2") give ASEG-GDF2, others
    delimited text (delimiter found from the header unless given). The line field is
    `line_field`, else the first channel named LINE or FLTLINE. Missing values read as
    each channel's dummy; errors raise SurveyError naming file, record and field."""
    return _io.read(str(path), line_field=line_field, delimiter=delimiter, format=format)


def write(survey, path, *, format=None, delimiter=","):
    """Writes a survey as ASEG-GDF2 (both files, for a `.dfn` or `.dat` name, or
    format="aseg-gdf2") or as delimited text. Nothing is left behind on an error."""
    _io.write(survey, str(path), format=format, delimiter=delimiter)


def _map_lines(self, func, client=None):
    """[func(self.line(i)) for every line], in line order. With a dask.distributed
    `client`, each line's channels (copied into the task) run as one task on the
    cluster and the results are gathered."""
    if client is None:
        return [func(self.line(i)) for i in range(len(self.lines))]
    futures = client.map(func, [{name: array.copy() for name, array in self.line(i).items()}
                                for i in range(len(self.lines))], pure=False)
    return client.gather(futures)


Survey.map_lines = _map_lines
