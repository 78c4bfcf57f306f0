#!/usr/bin/perl
# Builds the seven common-word files data/cmwds_<code>.txt.
#
# Each file holds the Snowball stop words of its language (read from the Perl module
# Lingua::StopWords, Debian package liblingua-stopwords-perl) followed by words that are
# common on web pages, and everyday function words that the stop lists lack. The words
# are cut exactly as the program cuts a list file: a letter (any script) followed by
# letters and combining marks, lower-cased by simple case mapping, in NFC; in the French
# file digits may continue a word. Duplicates are dropped. Output: UTF-8, one word per
# line, CR LF line ends, sorted by byte order, at most 500 words.
#
# Usage: perl tools/make_common_words.pl [output folder] (default: data/ beside tools/)
# The folder of the stop-word modules can be changed with STOPWORDS_DIR.

use strict;
use warnings;
use utf8;

use Encode qw(encode);
use File::Basename qw(dirname);
use Unicode::Normalize qw(NFC);

my $max_words = 500;
my $stop_dir = $ENV{STOPWORDS_DIR} // '/usr/share/perl5/Lingua/StopWords';
my $out_dir = shift @ARGV // dirname(__FILE__) . '/../data';

# Words found on pages in any language: addresses, file types, entity names left without
# their semicolon, and the usual navigation words.
my @web_any = qw(
    www http https html htm shtml xhtml php asp aspx jsp cgi com org net edu gov info biz
    nbsp amp quot url href src img jpg jpeg gif png pdf css rss xml mailto
    email mail webmaster website homepage home page web site online link links login menu
    faq copyright
);

my %languages = (
    en => {
        snowball => 'EN',
        extra    => [qw(
            click here page pages home homepage site website web link links email copyright
            rights reserved privacy policy terms conditions disclaimer contact us menu
            navigation search login logout sign register top back next previous prev welcome
            updated view please also may might must shall will via etc per within without
            upon however yet just still even ever every much many another whether either
            neither though although unless since
            among around onto toward towards whose whereas thus hence therefore else beyond across along behind beside besides near
        )],
    },
    fr => {
        snowball => 'FR',
        extra    => [qw(
            accueil page pages site lien liens cliquez cliquer ici courriel email contact
            contactez contacter plan menu recherche rechercher connexion inscription suivant
            suivante précédent précédente retour haut bienvenue mentions légales droits
            réservés confidentialité mise jour
            cette cet tout tous toute toutes plus moins très aussi comme dont où sans sous
            entre vers chez depuis donc car ni or si alors ainsi bien déjà encore peu peut
            fait faire leurs quel quelle quels quelles autre autres avant après pendant selon
            lors afin chaque cela ceci celui celle ceux celles
            les ils elles y puis être avoir là ça voici voilà quand comment pourquoi aucun aucune plusieurs quelque quelques lequel laquelle lesquels lesquelles tandis jusqu lorsque parce quoi
        )],
    },
    de => {
        snowball => 'DE',
        extra    => [qw(
            startseite home seite seiten webseite klicken hier link links kontakt impressum
            datenschutz suche suchen anmelden abmelden weiter zurück oben willkommen rechte
            vorbehalten
            dass sowie ab bereits beim dabei daher darum denen deshalb ebenfalls ebenso etwa
            ganz gibt immer innerhalb jedoch mehr mehrere neben nämlich oft schon seit
            seitdem sogar somit trotz vielleicht wegen wurde wurden zudem zusammen sowohl
            statt gegenüber je nie wer wem wen wessen worden sei seien mal könnten müssen
            sollen dürfen darf geben
            wird werden sind war waren sich oder wie wo wann warum viel viele einen
        )],
    },
    it => {
        snowball => 'IT',
        extra    => [qw(
            home pagina pagine sito clicca cliccare qui qua collegamento collegamenti link
            contatti contattaci cerca ricerca accedi registrati avanti indietro precedente
            successivo successiva benvenuti benvenuto diritti riservati privacy mappa
            ancora allora cosa così dopo già invece mentre molto molti molta molte nessuno
            ogni oppure ora però poi poco prima proprio quando quindi senza sempre sopra
            sotto stesso tanto troppo verso
            essere sono stato stata stati state tra fra anche più tutto tutti tutta tutte questo questa questi queste quello quella
        )],
    },
    pt => {
        snowball => 'PT',
        extra    => [qw(
            página páginas inicial início site clique aqui link links contato contacto
            contactos pesquisa pesquisar buscar busca entrar próximo próxima anterior voltar
            topo bem vindo vindos direitos reservados privacidade mapa
            ainda além antes apenas assim cada coisa desde então enquanto lá muitos muitas
            nada nunca onde outro outra outros outras pode podem porque porém pois quanto
            sempre sobre tal tanto todo toda todos todas tudo vez vezes
            ser são também entre sua seu suas seus sob muito pelo toda
        )],
    },
    es => {
        snowball => 'ES',
        extra    => [qw(
            página páginas inicio portada sitio web haga clic pulse aquí enlace enlaces
            correo electrónico contacto contáctenos buscar búsqueda siguiente anterior volver
            arriba bienvenido bienvenidos derechos reservados privacidad aviso legal mapa
            además ahora así aunque cada cómo dónde entonces hace hacer mientras misma mismo
            mismos pues puede pueden según siempre solo sólo tal tan toda todas través vez
            veces
            ser muy también sin sobre sus nos les lo otro otra otros otras todo todos
        )],
    },
    xx => {
        snowball => undef,
        extra    => [qw(click contact etc vs ok)],
    },
);

# The stop words of one language in their module's order, as Perl character strings.
sub snowball_words {
    my ($code) = @_;
    my $file = "$stop_dir/$code.pm";
    require $file;
    no strict 'refs';
    my $list = \&{"Lingua::StopWords::${code}::_stopwords"};
    die "$file has no stop-word list\n" unless defined &$list;
    return $list->();
}

# Cuts text into words the way the program cuts a common-word file.
sub cut_words {
    my ($text, $digits) = @_;
    my $word = $digits ? qr/\p{L}[\p{L}\p{M}0-9]*/ : qr/\p{L}[\p{L}\p{M}]*/;
    return map { NFC(lc $_) } $text =~ /$word/g;
}

for my $code (sort keys %languages) {
    my $lang = $languages{$code};
    my @source;
    push @source, snowball_words($lang->{snowball}) if defined $lang->{snowball};
    push @source, @web_any, @{ $lang->{extra} };

    my (%seen, @words);
    for my $text (@source) {
        for my $w (cut_words($text, $code eq 'fr')) {
            push @words, $w unless $seen{$w}++;
        }
    }
    die "cmwds_$code.txt would hold " . scalar(@words) . " words, more than $max_words\n"
        if @words > $max_words;

    my $path = "$out_dir/cmwds_$code.txt";
    open(my $out, '>:raw', $path) or die "cannot write $path: $!\n";
    print {$out} map { encode('UTF-8', $_, Encode::FB_CROAK) . "\r\n" }
        sort { encode('UTF-8', $a) cmp encode('UTF-8', $b) } @words;
    close($out) or die "cannot write $path: $!\n";
    printf "%s: %d words\n", $path, scalar(@words);
}
