// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"

#include "common/Version.h"

#include <cstdio>

namespace obs {

namespace {

void print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

// Qt's own window options: the ones that take a value, then the plain ones. Qt also reads them
// with two dashes and as "-name=value".
const QStringList& qtValueOptions() {
    static const QStringList list{"platform",    "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
                                  "qwindowicon", "qwindowtitle",       "session",       "style",  "stylesheet",
                                  "display",     "geometry",           "title",         "name",   "qmljsdebugger"};
    return list;
}

const QStringList& qtPlainOptions() {
    static const QStringList list{"reverse", "widgetcount", "nograb", "dograb", "sync"};
    return list;
}

// How many arguments a Qt option takes up from position i, 0 when it is none of Qt's.
int qtOptionLength(const QStringList& args, qsizetype i) {
    QString name = args[i];
    if (name.startsWith(QLatin1String("--")))
        name.remove(0, 1);
    if (!name.startsWith(u'-') || name.size() < 2)
        return 0;
    name.remove(0, 1);
    const qsizetype equals = name.indexOf(u'=');
    if (equals > 0)
        return qtValueOptions().contains(name.left(equals)) ? 1 : 0;
    if (qtPlainOptions().contains(name))
        return 1;
    if (qtValueOptions().contains(name))
        return i + 1 < args.size() ? 2 : 0;
    return 0;
}

} // namespace

QStringList argumentsOf(int argc, char* argv[]) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return args;
}

std::optional<int> answerCommandLine(const QStringList& args, const CommandLineRules& rules) {
    const QString more = QStringLiteral("Pour la liste des options : %1 --help\n").arg(rules.program);
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            print(stdout, rules.help);
            return 0;
        }
        if (a == QLatin1String("-v") || a == QLatin1String("--version")) {
            print(stdout, versionText(rules.program));
            return 0;
        }
        if (rules.options.contains(a))
            continue;
        if (rules.passQtOptions) {
            if (const int n = qtOptionLength(args, i)) {
                i += n - 1;
                continue;
            }
        }
        if (a.startsWith(u'-') && a.size() > 1) {
            print(stderr, QStringLiteral("%1 : option inconnue « %2 ».\n").arg(rules.program, a) + more);
            return 2;
        }
        if (!rules.operands) {
            print(stderr, QStringLiteral("%1 : argument inattendu « %2 » (le programme n'en prend aucun).\n")
                                  .arg(rules.program, a) +
                              more);
            return 2;
        }
    }
    return std::nullopt;
}

QString versionText(const QString& program) {
    return QStringLiteral("%1 version %2\n"
                          "Licence GPL version 3 ou ultérieure <https://www.gnu.org/licenses/gpl-3.0.html>.\n"
                          "Ce programme est un logiciel libre : vous pouvez le redistribuer et le modifier.\n"
                          "Il n'est accompagné d'aucune garantie, dans les limites permises par la loi.\n")
        .arg(program, QStringLiteral(OBSLEDGER_VERSION));
}

QString programHelp() {
    return QStringLiteral(
        "Utilisation : obsledger [OPTION]\n"
        "Comptabilité des praticiens de la clinique : actes, honoraires, règlements de la Sécu,\n"
        "des mutuelles et des dépassements, comptes entre praticiens, listes et sauvegarde.\n"
        "\n"
        "Options :\n"
        "  -h, --help       affiche cette aide et quitte\n"
        "  -v, --version    affiche la version et quitte\n"
        "\n"
        "Fichiers :\n"
        "  Réglages : $XDG_CONFIG_HOME/MARIGOLD.ini (d'ordinaire ~/.config/MARIGOLD.ini), section\n"
        "  [OBSLEDGER] : CHEMIN (la base de données OBSLEDGER.mdb), SAUVE (le dossier de sauvegarde).\n"
        "  Fichier des tarifs tarifs.cmt et fichier des taux taux.cmt : dans le dossier nommé par\n"
        "  OBSLEDGER_APPDIR, sinon dans le dossier du programme s'il est modifiable, sinon dans\n"
        "  ~/.local/share/obsledger (créés la première fois avec les valeurs usuelles).\n"
        "\n"
        "La base se crée avec obsledger-admin (voir obsledger-admin --help).\n");
}

QString adminCommands() {
    return QStringLiteral(
        "  obsledger-admin init CHEMIN [--demo]   crée une nouvelle base (jamais sur un fichier existant)\n"
        "  obsledger-admin set-path CHEMIN        enregistre CHEMIN dans les réglages de l'utilisateur\n"
        "  obsledger-admin set-server ADRESSE     enregistre le serveur SERVEUR (\"\" le retire)\n"
        "  obsledger-admin path                   affiche SERVEUR ou CHEMIN (code 3 si aucun n'est défini)\n"
        "  obsledger-admin copy DE VERS [--replace]  copie les deux tables d'une base à l'autre et vérifie\n"
        "  obsledger-admin import ANCIEN.mdb VERS [--replace] [--garder-hors-limites]\n"
        "                                         reprend ACTES et MEMO de l'ancien registre (fichier Access, lu\n"
        "                                         par mdbtools) dans une base neuve, et vérifie\n"
        "  obsledger-admin files DOSSIER          crée tarifs.cmt et taux.cmt manquants (valeurs usuelles)\n"
        "  obsledger-admin sql CHEMIN             exécute les instructions SQL lues sur l'entrée standard\n"
        "  obsledger-admin check CHEMIN           vérifie que le fichier est une base Obsledger saine\n"
        "  obsledger-admin upgrade CHEMIN         met à jour les index d'une base (sur un serveur aussi ses fonctions\n"
        "                                         et ses droits) créée par une version antérieure ; lignes gardées ;\n"
        "                                         une base sans journal des actes le reçoit (écritures de reprise)\n"
        "  obsledger-admin journal verify CHEMIN  recalcule chaque empreinte du journal des actes\n"
        "  obsledger-admin restore SAUVEGARDE     remplace la base (CHEMIN) par une sauvegarde : OBSLEDGER.MDB\n"
        "                                         ou une copie datée OBSLEDGER-AAAA-MM-JJ-HHMM.MDB\n"
        "  obsledger-admin export CHEMIN --du JJ/MM/AAAA --au JJ/MM/AAAA [--praticien NOM] [--suivi NOM]\n"
        "                                         écrit les actes de la période (CSV pour tableur) sur la sortie\n"
        "  obsledger-admin journal show CHEMIN --acte N  les écritures du journal de l'acte N, une par ligne\n"
        "  obsledger-admin fec CHEMIN --praticien NOM --exercice AAAA [--siren NUMERO] [--dossier DOSSIER] [--noms]\n"
        "                      [--replace]        écrit le fichier des écritures comptables (FEC) de l'année du\n"
        "                                         praticien dans DOSSIER (le dossier courant) et affiche son chemin ;\n"
        "                                         un fichier déjà là est gardé, sauf avec --replace\n"
        "  obsledger-admin annee-fiscale CHEMIN --praticien NOM --exercice AAAA [--csv]\n"
        "                                         recettes encaissées, honoraires rétrocédés, montant net et\n"
        "                                         rétrocessions à déclarer de l'année du praticien\n");
}

QString adminHelp() {
    return QStringLiteral("Utilisation :\n") + adminCommands() +
           QStringLiteral("\n"
                          "Outil d'installation et de maintenance d'Obsledger : création de la base,\n"
                          "réglage de son chemin pour l'utilisateur, fichiers des tarifs et des taux,\n"
                          "instructions SQL avec l'ordre alphabétique du programme, vérification d'une base.\n"
                          "\n"
                          "Options :\n"
                          "  --demo           avec init : remplit la base de données de démonstration\n"
                          "  --replace        avec copy ou import : remplace une destination qui contient déjà\n"
                          "                   des actes, des items ou un journal (une copie datée en est gardée) ;\n"
                          "                   avec fec : remplace le fichier de l'année s'il existe déjà\n"
                          "  --garder-hors-limites  avec import : importe aussi les montants au-delà de\n"
                          "                   1 000 000 €, les dates hors limites et les numéros d'acte de 0 ou\n"
                          "                   moins (sinon refusés), chacun nommé dans le rapport\n"
                          "  --du, --au       avec export : première et dernière date de la période\n"
                          "  --praticien NOM  avec export : le praticien ayant effectué les actes (* et ? permis)\n"
                          "  --suivi NOM      avec export : le praticien suivant la patiente (* et ? permis)\n"
                          "  --acte N         avec journal show : le numéro de l'acte\n"
                          "  --exercice AAAA  avec fec ou annee-fiscale : l'année (du 1er janvier au 31 décembre)\n"
                          "  --siren NUMERO   avec fec : les 9 chiffres du SIREN (sinon celui du praticien)\n"
                          "  --dossier DOSSIER  avec fec : où écrire le fichier et son descriptif\n"
                          "  --noms           avec fec : les noms des patientes (sinon le numéro de l'acte)\n"
                          "  --csv            avec annee-fiscale : pour un tableur (point-virgule, virgule décimale)\n"
                          "  -h, --help       affiche cette aide et quitte\n"
                          "  -v, --version    affiche la version et quitte\n"
                          "\n"
                          "CHEMIN est un fichier ; une ADRESSE de serveur PostgreSQL s'écrit postgresql://...\n"
                          "ou host=... dbname=... (jamais de mot de passe : ~/.pgpass).\n");
}

} // namespace obs
