"""Lumora: the words that describe an HTML page, and its keywords meta tag.

The engine of ``lumora-cli`` for pages given as bytes::

    import lumora
    result = lumora.analyse(open("bakery.htm", "rb").read(), lower_case=True)
    print(result["tag"])

analyse(page, **options) -> dict
    What ``lumora-cli list --json`` writes for the page, without its path: ``status``,
    ``encoding``, ``line_ends``, ``rules``, ``language``, ``title``, ``description``,
    ``keywords``, ``tag``, ``tag_keywords``, ``tag_characters``, ``words`` (each
    ``{"word", "value", "frequency"}``) and ``site_common``.
show(page, encoding=None) -> dict
    What ``lumora-cli show --json`` writes for the page: how it reads and its own title,
    description and keywords tags.
insert(page, **options) -> bytes
    The page with its keywords tag, as ``lumora-cli insert -`` writes it.

Options are the command line's long names in snake case: ``rules``, ``language``,
``title_weight``, ``description_weight``, ``keywords_weight``, ``bold_weight``,
``italic_weight``, ``table_weight``, ``div_weight``, ``span_weight``, ``short_word_size``,
``min_frequency``, ``keep_short_words``, ``keep_common_words``, ``lower_case``,
``no_space_after_comma``, ``ignore``, ``begin_with``, ``max_keywords``, ``max_bytes``
(``None`` for no limit), ``encoding``, ``data_dir``, and ``resources`` (a
:class:`Resources`). Numbers are ints or decimal text; flags are True or False; ``None``
is an empty value, except for ``language``, where it means the default. A value the
tool refuses raises ValueError with the tool's message; an unknown name raises TypeError.

A page that cannot be read (empty, a NUL byte, an encoding that cannot read it) or cannot
take the tag raises :class:`PageError` (a ValueError) with the tool's message, naming the
page ``-`` as the tool names standard input. Running out of memory raises MemoryError.

The common-word lists are found as the tool finds them (beside the module, in the build
tree, or installed in ``<prefix>/share/lumora``) and read once per process, each when a
call first needs it; ``Resources(data_dir)`` reads them from another folder. The engine
runs without the GIL, so threads analyse pages at the same time.
"""

from ._lumora import (PageError, Resources, analyse, insert, show, _collect_pages,
                      _default_resources, _is_page_name, _list_line, _matches_pattern,
                      _page_words, _read_page, _page_failure, _failed_line, _is_own_file,
                      _decimal_problem)

__all__ = ["PageError", "Resources", "analyse", "insert", "show"]
