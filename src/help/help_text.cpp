#include "help/help_text.h"

#include <algorithm>

namespace lumora::help {

namespace {

constexpr const char* kCrLf = "\r\n";

}  // namespace

Text BuildHelpText(const Text& manualAddress) {
    const Text q = "\"";
    const Text nl = kCrLf;
    const Text para = nl + nl;
    Text t;
    if (manualAddress.empty()) {
        t += "The fuller documentation, README.md, was not found beside the program's data "
             "files.  ";
    } else {
        t += "An illustrated verson of this documentation can be found at ";
        t += manualAddress;
        t += ".  ";
    }
    t += "This help window may be resized ";
    t += "or maximized for easier reading." + para;

    t += "This program generates keywords meta tags.  ";
    t += "It works basically by counting the number of occurrences of words ";
    t += "in your HTML document and building the keywords meta tag from the ";
    t += "most-frequently used words (ignoring common words such as 'the' and 'which').  ";
    t += "It does not, however, just use word frequencies, but assigns more (or less) ";
    t += "importance to words which occur:" + para;

    t += "(a) in the title, <TITLE>...</TITLE>" + nl;
    t += "(b) in the description, <META NAME=" + q + "description" + q + " CONTENT=" + q + "..." +
         q + ">" + nl;
    t += "(c) among existing keywords, ";
    t += "<META NAME=" + q + "keywords" + q + " CONTENT=" + q + "..." + q + ">" + nl;
    t += "(d) in a heading, e.g., <H4>...</H4>" + nl;
    t += "(e) in boldface, <B>...</B> and <STRONG>...</STRONG>" + nl;
    t += "(f) in italics, <I>...</I> and <EM>...</EM>" + nl;
    t += "(g) in a table, <TABLE>...</TABLE> and" + nl;
    t += "(h) within <DIV>...</DIV> and <SPAN>...</SPAN>." + para;

    t += "You can control the amount of weight given to words occurring in these contexts, as "
         "follows:" +
         para;
    t +=
        "Words in boldface can be given a weight of 1 to 9. A weight of 5 means that an occurrence "
        "of a word in boldface counts five times as much as a word which does not occur in "
        "boldface. Set this to 1 to give bold and non-bold words equal weight." +
        para;
    t += "Words within <TABLE>, <DIV> and <SPAN> tags can be given a weight of 0 to 9. Set this to "
         "0 if words within these tags are to be ignored.  ";
    t += "These tags can be nested.  The degree of nesting does not affect the weighting." + para;
    t += "Words in a heading <Hn> are given a weight of 5 times (7 minus the heading level), e.g., "
         "words in <H4>...</H4> get a weight of 5 *(7 - 4) = 15." +
         para;
    t += "Existing keywords (those in a keywords meta tag already existing in the document) can be "
         "given a weight of 0 to 9. Set the weight to 0 if existing keywords are to be ignored." +
         para;
    t += "The input file (whose name must have an extension containing 'htm') is selected (by "
         "clicking on 'Input file') in the usual way:" +
         para;
    t += "The page's encoding is found as a web browser finds it: a byte order mark, else UTF-8 "
         "when the page is valid UTF-8, else the character set the page declares, else "
         "windows-1252 (which also reads ISO-8859-1 pages).  If the words come out garbled, "
         "choose the page's encoding under 'Page encoding'; 'Detect' finds it again.  The choice "
         "is kept for the next run, and showing, listing, generating and inserting all read the "
         "page in it." +
         para;
    t += "If the document already has a keywords meta tag then you can display it by clicking on "
         "'Show existing keywords, etc.'.  This also shows the current title and description, if "
         "any." +
         para;
    t += "You can tell the program to ignore short words, that is, words with a specified number "
         "of letters (such as 3) or less. You can also tell the program to ignore common words, "
         "e.g., 'with' and 'into' (this is the default option and should always be used).  ";
    t += "You can specify the maximum number of keywords in the meta tag and the maximum length in "
         "bytes of the meta tag." +
         para;
    t += "You can require that only words which occur a specified minimum number of times should "
         "be considered for inclusion in the keywords meta tag.  This does not apply to words "
         "within the <TITLE> tag or words within the description or the existing keywords meta "
         "tag. Thus you can require that words in the body of the document must occur at least "
         "twice, yet words in the title, etc., will still be candidates for the meta tag even if "
         "they occur there only once." +
         para;
    t += "After you have specified the input file and the controlling parameters you can either:" +
         nl;
    t += "(i)click on 'List words' to get a list of the words satisfying the selection criteria, "
         "together with their keyword value and frequency or" +
         nl;
    t += "(ii) click on 'Generate/show keywords meta tag' to get the meta tag." + para;
    t += "If you want some words to be included as phrases you can type them into the 'Begin meta "
         "tag with' textbox, then pressing 'Generate/show keywords meta tag' gives the revised "
         "meta tag:" +
         para;
    t += "You can edit the keywords directly, then copy the keywords meta tag to the clipboard and "
         "paste it into the header section of your HTML document.  Or perhaps better, copy it "
         "into your HTML document and edit there." +
         para;
    t += "This window works on one page at a time. For a whole site, use the command-line "
         "tool, lumora-cli: generate, list, show and insert take many pages and folders at "
         "once (-r for subfolders), work on all processor cores, and report each page under "
         "its name. insert --dry-run shows what would change without changing anything, "
         "--json writes one line of JSON per page for scripts, and --site-common 50 leaves "
         "out the words that stand on more than half of the pages, such as those of a "
         "navigation bar. Type lumora-cli --help for the details." +
         para;
    t += "Lumora was written by the Lumora team." + para;
    t += "This program is free to use." + nl;
    return t;
}

HelpWindowLayout HelpLayout(int windowWidthTwips, int windowHeightTwips) {
    HelpWindowLayout layout;
    // A window shrunk below the margins must not ask for a negative size.
    layout.textWidth = std::max(0, windowWidthTwips - 350);
    layout.textHeight = std::max(0, windowHeightTwips - 1080);
    layout.closeTop = windowHeightTwips - 800;
    layout.closeLeft = (windowWidthTwips - kCloseWidth) / 2;
    return layout;
}

}  // namespace lumora::help
