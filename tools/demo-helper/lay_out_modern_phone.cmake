# cmake -DFILES=DIR -DPHONE=DIR -P lay_out_modern_phone.cmake
# Places a modern phone's flat files (contacts2.db and mmssms.db with whatever
# -wal, -journal and -shm they have, calllog.db from FILES/call-log and
# bugle_db from FILES/app-store)
# where a phone from Android 7 on keeps them, below PHONE, replacing an
# earlier layout.
set(contacts ${PHONE}/data/data/com.android.providers.contacts/databases)
set(sms ${PHONE}/data/user_de/0/com.android.providers.telephony/databases)
file(REMOVE_RECURSE ${PHONE})
file(MAKE_DIRECTORY ${contacts} ${sms})
file(GLOB contacts_files ${FILES}/contacts2.db ${FILES}/contacts2.db-*)
file(GLOB sms_files ${FILES}/mmssms.db ${FILES}/mmssms.db-*)
if(NOT contacts_files OR NOT sms_files)
    message(FATAL_ERROR "no contacts2.db or mmssms.db in ${FILES}")
endif()
file(COPY ${contacts_files} DESTINATION ${contacts})
# The call log beside the contacts, when the phone has one.
file(GLOB call_log_files ${FILES}/call-log/calllog.db ${FILES}/call-log/calllog.db-*)
if(call_log_files)
    file(COPY ${call_log_files} DESTINATION ${contacts})
endif()
file(COPY ${sms_files} DESTINATION ${sms})
# The messaging app's store in the app's own folder, when the phone has one.
file(GLOB app_files ${FILES}/app-store/bugle_db ${FILES}/app-store/bugle_db-*)
if(app_files)
    set(app ${PHONE}/data/data/com.google.android.apps.messaging/databases)
    file(MAKE_DIRECTORY ${app})
    file(COPY ${app_files} DESTINATION ${app})
endif()
